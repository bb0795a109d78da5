// Heap handles. A handle is the address of a live private heap; every call
// checks it against the set of live heaps, so a destroyed or made-up handle
// fails with ERROR_INVALID_HANDLE instead of being followed.
#include "kernel/private_heap.h"

#include <winbase.h>

#include <cstdint>
#include <mutex>
#include <new>
#include <set>
#include <shared_mutex>

#include <unistd.h>

namespace {

using morvane::kernel::PrivateHeap;

struct HeapRegistry {
    std::shared_mutex mutex; // shared while a heap is used, exclusive to add or remove one
    std::set<PrivateHeap *> heaps;
};

// Never destroyed: heaps stay usable from other libraries' exit-time clean-up.
HeapRegistry &registry()
{
    static auto *const instance = new HeapRegistry;
    return *instance;
}

// Runs `use` on the live heap behind `handle`, or reports an invalid handle
// and returns `failure`. The registry stays shared-locked meanwhile, so the
// heap cannot be destroyed under the call.
template <typename Use, typename Result>
Result with_heap(HANDLE handle, Result failure, Use use)
{
    HeapRegistry &live = registry();
    std::shared_lock guard(live.mutex);
    const auto found = live.heaps.find(static_cast<PrivateHeap *>(handle));
    if (found == live.heaps.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return failure;
    }
    return use(**found);
}

// A fixed-size heap holds at most its maximum size, rounded up to whole pages
// and never below its initial size.
std::size_t limit_for(SIZE_T initial, SIZE_T maximum)
{
    if (maximum == 0)
        return 0;
    std::size_t limit = maximum > initial ? maximum : initial;
    const long page = sysconf(_SC_PAGESIZE);
    const std::size_t granule = page > 0 ? std::size_t(page) : 4096;
    if (limit % granule != 0 && limit <= SIZE_MAX - granule)
        limit += granule - limit % granule;
    return limit;
}

} // namespace

// Options are accepted and need no action: every heap serializes its own use,
// and failures are always reported by result (there are no structured
// exceptions to raise).
EXTERN_C HANDLE HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize)
{
    static_cast<void>(flOptions);
    auto *heap = new (std::nothrow) PrivateHeap(limit_for(dwInitialSize, dwMaximumSize));
    if (heap == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HeapRegistry &live = registry();
    try {
        std::unique_lock guard(live.mutex);
        live.heaps.insert(heap);
    } catch (const std::bad_alloc &) {
        delete heap;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return heap;
}

// Destroys the heap together with every block still allocated from it.
EXTERN_C BOOL HeapDestroy(HANDLE hHeap)
{
    HeapRegistry &live = registry();
    PrivateHeap *heap = nullptr;
    {
        std::unique_lock guard(live.mutex);
        const auto found = live.heaps.find(static_cast<PrivateHeap *>(hHeap));
        if (found == live.heaps.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        heap = *found;
        live.heaps.erase(found);
    }
    delete heap;
    return TRUE;
}

EXTERN_C LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes)
{
    return with_heap(hHeap, static_cast<void *>(nullptr),
                     [&](PrivateHeap &heap) { return heap.allocate(dwBytes, dwFlags); });
}

EXTERN_C LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes)
{
    return with_heap(hHeap, static_cast<void *>(nullptr),
                     [&](PrivateHeap &heap) { return heap.reallocate(lpMem, dwBytes, dwFlags); });
}

// Freeing a null pointer succeeds and does nothing.
EXTERN_C BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem)
{
    static_cast<void>(dwFlags);
    return with_heap(hHeap, FALSE, [&](PrivateHeap &heap) -> BOOL {
        return lpMem == nullptr || heap.release(lpMem) ? TRUE : FALSE;
    });
}
