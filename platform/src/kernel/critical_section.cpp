// Re-entrant critical sections over the Windows structure. The lock itself is
// an object of the runtime's, reached through LockSemaphore; OwningThread and
// RecursionCount mirror its state for whoever inspects the structure.
#include <winbase.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

#include <unistd.h>

namespace {

struct SectionLock {
    std::mutex mutex;
    std::atomic<std::uintptr_t> owner{0}; // thread id of the holder, 0 when free
    LONG recursion = 0;                   // touched only by the holder
};

// Sections whose own lock could not be allocated share this one. One lock for
// several sections still excludes correctly and cannot deadlock; it only
// serializes more than needed.
SectionLock shared_lock;

std::uintptr_t current_thread()
{
    static thread_local const auto id = static_cast<std::uintptr_t>(gettid());
    return id;
}

SectionLock *lock_of(LPCRITICAL_SECTION section)
{
    return section == nullptr ? nullptr : static_cast<SectionLock *>(section->LockSemaphore);
}

void record_entry(LPCRITICAL_SECTION section, SectionLock &lock, std::uintptr_t self)
{
    if (lock.recursion == 0)
        lock.owner.store(self);
    ++lock.recursion;
    section->OwningThread = reinterpret_cast<HANDLE>(self);
    ++section->RecursionCount;
}

} // namespace

EXTERN_C void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection == nullptr)
        return;
    auto *lock = new (std::nothrow) SectionLock;
    *lpCriticalSection = CRITICAL_SECTION{};
    lpCriticalSection->LockCount = -1;
    lpCriticalSection->LockSemaphore = lock != nullptr ? lock : &shared_lock;
}

// Calls on a section that was never initialised, or was deleted, do nothing.
EXTERN_C void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    SectionLock *lock = lock_of(lpCriticalSection);
    if (lock == nullptr)
        return;
    const std::uintptr_t self = current_thread();
    if (lock->owner.load() != self)
        lock->mutex.lock();
    record_entry(lpCriticalSection, *lock, self);
}

EXTERN_C BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    SectionLock *lock = lock_of(lpCriticalSection);
    if (lock == nullptr)
        return FALSE;
    const std::uintptr_t self = current_thread();
    if (lock->owner.load() != self && !lock->mutex.try_lock())
        return FALSE;
    record_entry(lpCriticalSection, *lock, self);
    return TRUE;
}

// Leaving a section the calling thread does not hold does nothing.
EXTERN_C void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    SectionLock *lock = lock_of(lpCriticalSection);
    if (lock == nullptr || lock->owner.load() != current_thread() || lpCriticalSection->RecursionCount <= 0)
        return;
    --lpCriticalSection->RecursionCount;
    if (lpCriticalSection->RecursionCount == 0)
        lpCriticalSection->OwningThread = nullptr;
    if (--lock->recursion == 0) {
        lock->owner.store(0);
        lock->mutex.unlock();
    }
}

// Releases the section's lock object; a section still held by the calling
// thread is released first.
EXTERN_C void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    SectionLock *lock = lock_of(lpCriticalSection);
    if (lock == nullptr)
        return;
    while (lock->owner.load() == current_thread() && lpCriticalSection->RecursionCount > 0)
        LeaveCriticalSection(lpCriticalSection);
    if (lock != &shared_lock)
        delete lock;
    *lpCriticalSection = CRITICAL_SECTION{};
}
