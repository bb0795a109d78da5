// The module heaps: which heaps serve blocks, the four routines with and without extra heaps, and set-ups.
#include "server/module_heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace morvane;

namespace {

OSVERSIONINFOA nt(DWORD major, DWORD platform = VER_PLATFORM_WIN32_NT)
{
    return {sizeof(OSVERSIONINFOA), major, 0, 0, platform, {}};
}

SYSTEM_INFO machine_with(DWORD cpus) { return {{}, 0, nullptr, nullptr, 0, cpus, 0, 0, 0, 0}; }

HANDLE heap_named_by(const void *block)
{
    const auto *header = static_cast<const std::byte *>(block) - module_block_header_size;
    return *reinterpret_cast<const HANDLE *>(header);
}

// Blocks are bare, from the base heap, on NT 5 and later, on one processor and on the
// running host whatever its kernel; else they name a power of two of heaps in turn.
TEST(ModuleHeaps, BlocksSpreadOverExtraHeapsOnlyOnMultiprocessorsBeforeNtFive)
{
    constexpr DWORD host = 0, nt_family = VER_PLATFORM_WIN32_NT, windows = VER_PLATFORM_WIN32_WINDOWS;
    const struct {
        DWORD major, platform, processors, heaps;
    } rows[] = {{4, nt_family, 1, 0}, {4, nt_family, 2, 4},   {4, nt_family, 3, 4},   {4, nt_family, 5, 8},
                {4, nt_family, 8, 16}, {4, nt_family, 100, 128}, {5, windows, 3, 4}, {5, nt_family, 8, 0},
                {host, host, host, 0}};
    for (const auto &row : rows) {
        ASSERT_TRUE(row.major == host ? module_heap_setup()
                                      : module_heap_setup(nt(row.major, row.platform), machine_with(row.processors)));
        void *first = module_alloc(24);
        ASSERT_NE(first, nullptr);
        if (row.heaps == 0) {
            EXPECT_TRUE(HeapFree(module_heap_state().base_heap, 0, first)) << row.processors << " carries a header";
        } else {
            std::set<HANDLE> heaps{heap_named_by(first)};
            for (DWORD i = 1; i < row.heaps; ++i)
                heaps.insert(heap_named_by(module_alloc(24)));
            EXPECT_EQ(heaps.size(), row.heaps) << row.processors;
            EXPECT_EQ(heap_named_by(module_alloc(24)), heap_named_by(first)) << "the rotation starts again";
        }
        module_heap_teardown();
    }
}

HANDLE create_small_heap(DWORD options, SIZE_T, SIZE_T) { return HeapCreate(options, 0, 512 * 1024); }

// The parameter is the processors of an NT 4 machine; 0 means NT 5, without extra heaps.
class ModuleHeapRoutines : public testing::TestWithParam<DWORD> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module_heap_setup(nt(GetParam() ? 4 : 5), machine_with(GetParam() ? GetParam() : 4),
                                      &create_small_heap));
    }
    void TearDown() override { module_heap_teardown(); }
};

// Blocks come 16-byte aligned from the extra heaps in turn, naming their heap; else bare.
TEST_P(ModuleHeapRoutines, BlocksComeFromTheHeapsInRotation)
{
    const ModuleHeapState state = module_heap_state();
    if (!state.heap_table) {
        void *block = module_alloc(32);
        EXPECT_TRUE(HeapFree(state.base_heap, 0, block)) << "the block carries a header";
        return;
    }
    const std::set<HANDLE> distinct(state.heap_table, state.heap_table + state.heap_mask + 1);
    EXPECT_EQ(distinct.size(), state.heap_mask + 1);
    EXPECT_EQ(distinct.count(state.base_heap) + distinct.count(nullptr), 0u);
    for (DWORD i = 0; i <= state.heap_mask + 1; ++i) {
        void *block = i % 2 ? module_realloc(nullptr, 40) : module_alloc(40);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(heap_named_by(block), state.heap_table[(state.next_heap + i) & state.heap_mask]) << i;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
        module_free(block);
    }
}

// A reallocation keeps the block's heap and contents; a failed one keeps the block.
TEST_P(ModuleHeapRoutines, ReallocationKeepsHeapAndContentsAndSurvivesFailure)
{
    module_free(nullptr);
    void *block = module_alloc(1000);
    ASSERT_NE(block, nullptr);
    const HANDLE home = module_heap_state().heap_table ? heap_named_by(block) : nullptr;
    std::memset(block, 7, 1000);
    EXPECT_EQ(module_realloc(block, 1 << 20), nullptr);
    EXPECT_EQ(std::string(static_cast<char *>(block), 1000), std::string(1000, '\7'));
    for (const std::size_t size : {100000, 10}) { // grown, then shrunk
        block = module_realloc(block, size);
        ASSERT_NE(block, nullptr);
        const std::size_t kept = std::min<std::size_t>(size, 1000);
        EXPECT_EQ(std::string(static_cast<char *>(block), kept), std::string(kept, '\7'));
        std::memset(block, 7, size); // the whole new size is the caller's (address sanitizer checks)
    }
    EXPECT_EQ(home ? heap_named_by(block) : nullptr, home);
    module_free(block);
}

TEST_P(ModuleHeapRoutines, ArrayAllocationRefusesProductsBeyond32Bits)
{
    void *small = module_alloc_n(3, 5), *empty = module_alloc_n(0, 1000);
    ASSERT_NE(small, nullptr);
    EXPECT_NE(empty, nullptr);
    std::memset(small, 0, 15);
    module_free(small);
    module_free(empty);
    const DWORD before = module_heap_state().next_heap;
    const std::size_t bit = 1, huge[][2] = {{0x10000, 0x10000}, {bit << 63, 2}, {bit << 32, 1},
                                            {SIZE_MAX, 2}, {3, bit << 62}};
    for (const auto &request : huge)
        EXPECT_EQ(module_alloc_n(request[0], request[1]), nullptr) << request[0] << " x " << request[1];
    EXPECT_EQ(module_heap_state().next_heap, before) << "a refused request must not reach a heap";
}

INSTANTIATE_TEST_SUITE_P(Processors, ModuleHeapRoutines, testing::Values(0u, 2u, 5u));

// Heap creation that fails at a chosen call and remembers what it created.
int creations_before_failure = 0;
std::vector<HANDLE> created_heaps;

HANDLE create_until_failure(DWORD options, SIZE_T initial, SIZE_T maximum)
{
    if (creations_before_failure-- == 0)
        return nullptr;
    return created_heaps.emplace_back(HeapCreate(options, initial, maximum));
}

// A base heap with no room left for the heap table.
HANDLE create_full_heap(DWORD options, SIZE_T, SIZE_T)
{
    HANDLE heap = created_heaps.emplace_back(HeapCreate(options, 0, 4096));
    while (HeapAlloc(heap, 0, 64) != nullptr) {}
    return heap;
}

void expect_nothing_left()
{
    EXPECT_EQ(module_heap_state().base_heap, nullptr);
    EXPECT_EQ(module_heap_state().heap_table, nullptr);
    EXPECT_EQ(module_alloc(16), nullptr);
    EXPECT_EQ(module_alloc_n(2, 8), nullptr);
    for (HANDLE heap : created_heaps)
        EXPECT_FALSE(HeapDestroy(heap)) << "a heap of the failed set-up is still alive";
    created_heaps.clear();
}

// The base heap, each extra heap of a two-processor NT 4 machine, or the table fails.
TEST(ModuleHeaps, FailedSetUpsLeaveNothingAndAllocationsFail)
{
    for (int failing = 0; failing < 5; ++failing) {
        creations_before_failure = failing;
        EXPECT_FALSE(module_heap_setup(nt(4), machine_with(2), &create_until_failure));
        expect_nothing_left();
    }
    ASSERT_TRUE(module_heap_setup(nt(4), machine_with(2)));
    ASSERT_NE(module_alloc(32), nullptr);
    EXPECT_FALSE(module_heap_setup(nt(4), machine_with(2), &create_full_heap));
    expect_nothing_left();
}

TEST(ModuleHeaps, TearDownDestroysTheHeapsWithTheirBlocks)
{
    ASSERT_TRUE(module_heap_setup(nt(4), machine_with(4)));
    const ModuleHeapState state = module_heap_state();
    const std::vector<HANDLE> heaps(state.heap_table, state.heap_table + state.heap_mask + 1);
    for (int i = 0; i < 100; ++i)
        ASSERT_NE(module_alloc(std::size_t(32 + i)), nullptr); // left for the tear-down
    module_heap_teardown();
    for (HANDLE heap : heaps)
        EXPECT_FALSE(HeapDestroy(heap));
    EXPECT_FALSE(HeapDestroy(state.base_heap));
    expect_nothing_left();
    module_heap_teardown(); // a second tear-down is harmless
}

} // namespace
