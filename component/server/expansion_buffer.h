// The growing output of variable expansion, on the task allocator. It always makes
// room for the whole character being appended, also when it starts empty.
#pragma once

#include <objbase.h>

#include <cstddef>

namespace morvane {

class ExpansionBuffer {
public:
    // The allocator's two calls; tests substitute failing ones.
    using Allocate = LPVOID (*)(SIZE_T);
    using Reallocate = LPVOID (*)(LPVOID, SIZE_T);

    explicit ExpansionBuffer(Allocate allocator = &CoTaskMemAlloc, Reallocate reallocator = &CoTaskMemRealloc)
        : allocate_(allocator), reallocate_(reallocator)
    {
    }
    ~ExpansionBuffer() { CoTaskMemFree(bytes_); }
    ExpansionBuffer(const ExpansionBuffer &) = delete;
    ExpansionBuffer &operator=(const ExpansionBuffer &) = delete;

    // The first block; E_OUTOFMEMORY when it cannot be had.
    HRESULT allocate(std::size_t capacity);
    // Appends count bytes (one whole character, or a terminator), doubling the
    // capacity as often as needed; E_OUTOFMEMORY when growing fails, the buffer
    // then holding what it held before.
    HRESULT append(const char *bytes, std::size_t count);
    // Hands the block to the caller, who frees it with CoTaskMemFree.
    LPSTR release();

    std::size_t length() const { return length_; }
    std::size_t capacity() const { return capacity_; }

private:
    Allocate allocate_;
    Reallocate reallocate_;
    char *bytes_ = nullptr;
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace morvane
