// The component's own heaps. All of the component's memory, but for the
// registration interpreter's strings, comes from the four routines below.
//
// Set-up creates one private base heap. On multiprocessor systems older than
// NT 5 it also creates a power-of-two number of extra heaps and serves blocks
// from them in strict rotation; each such block is preceded by a header that
// names its heap (a heap handle, then padding to 16 bytes on 64-bit systems so
// that blocks keep the 16-byte alignment of the platform's heaps). Elsewhere
// blocks come from the base heap and carry no header. The platform reports one
// fixed NT 6 version on every host, so the module set up for the running machine
// always takes that path; the extra heaps serve set-ups given another version.
#pragma once

#include <winbase.h>

#include <cstddef>

namespace morvane {

// Bytes in front of a block served from an extra heap.
inline constexpr std::size_t module_block_header_size = sizeof(HANDLE) == 8 ? 16 : 8;

// Number of extra heaps for a system of this version and processor count:
// 0 on NT 5 or later and on one processor, otherwise the largest power of two
// not above twice the processor count.
DWORD module_heap_extra_count(const OSVERSIONINFOA &version, const SYSTEM_INFO &system);

// Sets the heaps up for the running machine. Returns false when a heap or the
// heap table could not be created; then nothing is kept and every allocation
// fails with null until a later set-up succeeds.
bool module_heap_setup();

// Sets the heaps up as for a machine with this version and system information.
// `create_heap` makes each heap (HeapCreate unless a caller substitutes it).
using ModuleHeapCreate = HANDLE (*)(DWORD options, SIZE_T initial_size, SIZE_T maximum_size);
bool module_heap_setup(const OSVERSIONINFOA &version, const SYSTEM_INFO &system,
                       ModuleHeapCreate create_heap = &HeapCreate);

// Destroys every heap with whatever blocks are still on it. Allocations fail
// with null afterwards.
void module_heap_teardown();

// A snapshot of the heap state, for inspection.
struct ModuleHeapState {
    HANDLE base_heap;
    DWORD heap_mask;          // extra heaps minus one; 0 when there are none
    const HANDLE *heap_table; // the extra heaps, or null
    DWORD next_heap;          // allocations served from the extra heaps so far
};
ModuleHeapState module_heap_state();

// A block of `size` bytes, or null.
void *module_alloc(std::size_t size);
// A block of count × size bytes, not cleared; null when the product does not
// fit in 32 bits.
void *module_alloc_n(std::size_t count, std::size_t size);
// Resizes a block on the heap it came from (a null block is allocated anew).
// On failure returns null and the old block stays valid.
void *module_realloc(void *block, std::size_t size);
// Frees a block; null is ignored.
void module_free(void *block);

} // namespace morvane
