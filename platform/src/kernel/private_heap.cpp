// PrivateHeap's blocks: C-allocator blocks rounded up to a capacity, recorded per heap
// so that a foreign block is refused, with the zeroing and growth rules of the heap calls.
#include "kernel/private_heap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace morvane::kernel {

namespace {

// No machine this runs on can back a single block of half a terabyte; refusing
// such a size up front keeps the failure a clean null under every allocator.
constexpr std::size_t largest_block = std::min<std::size_t>(std::size_t(1) << 39, PTRDIFF_MAX);

// A zero-byte request still gets a distinct block of its own.
std::size_t capacity_for(std::size_t size)
{
    return std::max<std::size_t>(size, 1);
}

std::nullptr_t fail(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

void zero_growth(void *block, std::size_t old_size, std::size_t new_size, DWORD flags)
{
    if ((flags & HEAP_ZERO_MEMORY) != 0 && new_size > old_size)
        std::memset(static_cast<unsigned char *>(block) + old_size, 0, new_size - old_size);
}

} // namespace

PrivateHeap::~PrivateHeap()
{
    for (const auto &entry : blocks_)
        std::free(entry.first);
}

bool PrivateHeap::fits(std::size_t more_bytes) const noexcept
{
    return limit_ == 0 || more_bytes <= limit_ - committed_;
}

void *PrivateHeap::allocate(std::size_t size, DWORD flags) noexcept
{
    if (size > largest_block)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    const std::size_t capacity = capacity_for(size);
    std::lock_guard guard(mutex_);
    if (!fits(capacity))
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    void *block = (flags & HEAP_ZERO_MEMORY) != 0 ? std::calloc(1, capacity) : std::malloc(capacity);
    if (block == nullptr)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    try {
        blocks_.emplace(block, Block{size, capacity});
    } catch (const std::bad_alloc &) {
        std::free(block);
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    committed_ += capacity;
    return block;
}

// On failure the old block stays as it was. A block that already has room for
// the new size is resized in place only when the caller insists on that; any
// other request lets the C allocator move it, so shrinking returns memory.
void *PrivateHeap::reallocate(void *block, std::size_t size, DWORD flags) noexcept
{
    if (block == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    if (size > largest_block)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    std::lock_guard guard(mutex_);
    const auto found = blocks_.find(block);
    if (found == blocks_.end())
        return fail(ERROR_INVALID_PARAMETER);
    Block &current = found->second;

    if ((flags & HEAP_REALLOC_IN_PLACE_ONLY) != 0) {
        if (size > current.capacity)
            return fail(ERROR_NOT_ENOUGH_MEMORY);
        zero_growth(block, current.size, size, flags);
        current.size = size;
        return block;
    }

    const std::size_t capacity = capacity_for(size);
    if (capacity > current.capacity && !fits(capacity - current.capacity))
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    void *moved = std::realloc(block, capacity);
    if (moved == nullptr)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    zero_growth(moved, current.size, size, flags);
    committed_ = committed_ - current.capacity + capacity;
    current = Block{size, capacity};
    if (moved != block) {
        // Re-keying the existing node allocates nothing, so it cannot fail.
        auto node = blocks_.extract(found);
        node.key() = moved;
        blocks_.insert(std::move(node));
    }
    return moved;
}

bool PrivateHeap::release(void *block) noexcept
{
    std::lock_guard guard(mutex_);
    const auto found = blocks_.find(block);
    if (found == blocks_.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    committed_ -= found->second.capacity;
    std::free(block);
    blocks_.erase(found);
    return true;
}

} // namespace morvane::kernel
