// A private heap of the runtime: blocks from the C allocator, each recorded on
// the heap that handed it out, so that a block given to the wrong heap is
// refused and destroying the heap releases whatever it still holds.
#pragma once

#include <winbase.h>

#include <cstddef>
#include <map>
#include <mutex>

namespace morvane::kernel {

class PrivateHeap {
public:
    // limit: the most bytes the heap may hold at once; 0 lets it grow freely.
    explicit PrivateHeap(std::size_t limit) noexcept : limit_(limit) {}
    PrivateHeap(const PrivateHeap &) = delete;
    PrivateHeap &operator=(const PrivateHeap &) = delete;
    ~PrivateHeap();

    // Each operation takes the heap flags of the Windows call; failures set the
    // thread's last error and return null (or false).
    void *allocate(std::size_t size, DWORD flags) noexcept;
    void *reallocate(void *block, std::size_t size, DWORD flags) noexcept;
    bool release(void *block) noexcept;

private:
    struct Block {
        std::size_t size;     // what the caller asked for
        std::size_t capacity; // what the C allocator holds for it
    };

    bool fits(std::size_t more_bytes) const noexcept;

    std::mutex mutex_;
    std::map<void *, Block> blocks_;
    const std::size_t limit_;
    std::size_t committed_ = 0;
};

} // namespace morvane::kernel
