// The expansion buffer's growth: doubling until the appended bytes fit, refused as out of memory.
#include "server/expansion_buffer.h"

#include <cstring>
#include <limits>

namespace morvane {

HRESULT ExpansionBuffer::allocate(std::size_t capacity)
{
    // A zero-byte request is still a block of its own, so an empty script works too.
    bytes_ = static_cast<char *>(allocate_(capacity));
    if (bytes_ == nullptr)
        return E_OUTOFMEMORY;
    capacity_ = capacity;
    return S_OK;
}

HRESULT ExpansionBuffer::append(const char *bytes, std::size_t count)
{
    if (bytes_ == nullptr)
        return E_OUTOFMEMORY;
    if (count > capacity_ - length_) {
        std::size_t grown = capacity_ == 0 ? 1 : capacity_;
        while (count > grown - length_) {
            if (grown > std::numeric_limits<std::size_t>::max() / 2)
                return E_OUTOFMEMORY;
            grown *= 2;
        }
        auto *moved = static_cast<char *>(reallocate_(bytes_, grown));
        if (moved == nullptr)
            return E_OUTOFMEMORY;
        bytes_ = moved;
        capacity_ = grown;
    }
    std::memcpy(bytes_ + length_, bytes, count);
    length_ += count;
    return S_OK;
}

LPSTR ExpansionBuffer::release()
{
    char *bytes = bytes_;
    bytes_ = nullptr;
    length_ = capacity_ = 0;
    return bytes;
}

} // namespace morvane
