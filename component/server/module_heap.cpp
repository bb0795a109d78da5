// The module's heap state (one instance per loaded library) and the four
// allocation routines over it.
#include "server/module_heap.h"

#include <morvane_assert.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace morvane {

namespace {

struct HeapSet {
    HANDLE base_heap = nullptr;
    DWORD heap_mask = 0;
    HANDLE *heap_table = nullptr;
    // Advanced from any thread; a relaxed atomic keeps the rotation free of
    // data races without ordering anything else.
    std::atomic<DWORD> next_heap{0};
};

constinit HeapSet heaps;

constexpr std::size_t header = module_block_header_size;

std::byte *start_of(void *block)
{
    return static_cast<std::byte *>(block) - header;
}

// True when heap is one of the extra heaps blocks are spread over.
bool is_table_heap(HANDLE heap)
{
    for (DWORD i = 0; heaps.heap_table != nullptr && i <= heaps.heap_mask; ++i) {
        if (heaps.heap_table[i] == heap)
            return true;
    }
    return false;
}

// The heap a block's header names; always one of the table's heaps.
HANDLE heap_of(void *block)
{
    HANDLE heap = nullptr;
    std::memcpy(&heap, start_of(block), sizeof heap);
    MORVANE_ASSERT(is_table_heap(heap));
    return heap;
}

void destroy_all(HANDLE base, HANDLE *table, DWORD count)
{
    for (DWORD i = 0; i < count; ++i)
        HeapDestroy(table[i]);
    HeapDestroy(base); // the table lives on the base heap
}

} // namespace

bool module_heap_setup()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return module_heap_setup(version, system);
}

bool module_heap_setup(const OSVERSIONINFOA &version, const SYSTEM_INFO &system, ModuleHeapCreate create_heap)
{
    module_heap_teardown(); // a repeated set-up starts afresh
    HANDLE base = create_heap(0, 0, 0);
    if (base == nullptr)
        return false;
    const DWORD extra = module_heap_extra_count(version, system);
    if (extra == 0) {
        heaps.base_heap = base;
        return true;
    }

    auto *table = static_cast<HANDLE *>(HeapAlloc(base, 0, std::size_t(extra) * sizeof(HANDLE)));
    if (table == nullptr) {
        HeapDestroy(base);
        return false;
    }
    for (DWORD i = 0; i < extra; ++i) {
        table[i] = create_heap(0, 0, 0);
        if (table[i] == nullptr) {
            destroy_all(base, table, i);
            return false;
        }
    }
    heaps.base_heap = base;
    heaps.heap_mask = extra - 1;
    heaps.heap_table = table;
    heaps.next_heap.store(0, std::memory_order_relaxed);
    return true;
}

void module_heap_teardown()
{
    if (heaps.base_heap != nullptr)
        destroy_all(heaps.base_heap, heaps.heap_table, heaps.heap_table != nullptr ? heaps.heap_mask + 1 : 0);
    heaps.base_heap = nullptr;
    heaps.heap_mask = 0;
    heaps.heap_table = nullptr;
    heaps.next_heap.store(0, std::memory_order_relaxed);
}

ModuleHeapState module_heap_state()
{
    return {heaps.base_heap, heaps.heap_mask, heaps.heap_table, heaps.next_heap.load(std::memory_order_relaxed)};
}

void *module_alloc(std::size_t size)
{
    if (heaps.heap_table == nullptr)
        return heaps.base_heap != nullptr ? HeapAlloc(heaps.base_heap, 0, size) : nullptr;
    if (size > SIZE_MAX - header)
        return nullptr;
    const DWORD turn = heaps.next_heap.fetch_add(1, std::memory_order_relaxed);
    HANDLE heap = heaps.heap_table[turn & heaps.heap_mask];
    auto *start = static_cast<std::byte *>(HeapAlloc(heap, 0, size + header));
    if (start == nullptr)
        return nullptr;
    std::memcpy(start, &heap, sizeof heap);
    return start + header;
}

// A product that does not fit in 32 bits is refused rather than allocated short.
void *module_alloc_n(std::size_t count, std::size_t size)
{
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(count, size, &bytes) || bytes > UINT32_MAX)
        return nullptr;
    return module_alloc(bytes);
}

void *module_realloc(void *block, std::size_t size)
{
    if (block == nullptr)
        return module_alloc(size);
    if (heaps.heap_table == nullptr)
        return heaps.base_heap != nullptr ? HeapReAlloc(heaps.base_heap, 0, block, size) : nullptr;
    if (size > SIZE_MAX - header)
        return nullptr;
    // The header moves with the block, which stays on its heap.
    auto *moved = static_cast<std::byte *>(HeapReAlloc(heap_of(block), 0, start_of(block), size + header));
    return moved != nullptr ? moved + header : nullptr;
}

void module_free(void *block)
{
    if (block == nullptr)
        return;
    if (heaps.heap_table == nullptr) {
        if (heaps.base_heap != nullptr)
            HeapFree(heaps.base_heap, 0, block);
        return;
    }
    HeapFree(heap_of(block), 0, start_of(block));
}

} // namespace morvane
