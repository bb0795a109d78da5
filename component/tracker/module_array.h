// Arrays of the tracker's working buffers, taken from the module heaps and
// given back to them when the holder goes.
#pragma once

#include "server/module_heap.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

namespace morvane {

struct ModuleFree {
    void operator()(void *block) const { module_free(block); }
};

template <typename T>
using ModuleArray = std::unique_ptr<T[], ModuleFree>;

// count elements of T, not cleared; null when the heap is exhausted or when
// count × sizeof(T) does not fit the heap's 32-bit sizes.
template <typename T>
ModuleArray<T> allocate_module_array(std::size_t count)
{
    if (count == 0 || count > std::numeric_limits<std::uint32_t>::max() / sizeof(T))
        return nullptr;
    return ModuleArray<T>(static_cast<T *>(module_alloc_n(count, sizeof(T))));
}

} // namespace morvane
