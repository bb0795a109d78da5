// The module heaps: the extra-heap plan, rotation, the four routines with and
// without extra heaps, and failed set-ups.
#include "server/module_heap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

OSVERSIONINFOA version_of(DWORD platform, DWORD major)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    version.dwPlatformId = platform;
    version.dwMajorVersion = major;
    return version;
}

SYSTEM_INFO machine_with(DWORD processors)
{
    SYSTEM_INFO system{};
    system.dwNumberOfProcessors = processors;
    system.dwPageSize = 4096;
    return system;
}

TEST(ModuleHeapPlan, PowerOfTwoUpToTwiceTheProcessorsBeforeNtFive)
{
    const DWORD cases[][2] = {{0, 0}, {1, 0}, {2, 4}, {3, 4}, {4, 8}, {7, 8}, {8, 16}, {16, 32}, {100, 128}};
    for (const auto &c : cases) {
        EXPECT_EQ(module_heap_extra_count(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(c[0])), c[1]) << c[0];
        // Only the NT family is judged by its version.
        EXPECT_EQ(module_heap_extra_count(version_of(VER_PLATFORM_WIN32_WINDOWS, 5), machine_with(c[0])), c[1]);
        EXPECT_EQ(module_heap_extra_count(version_of(VER_PLATFORM_WIN32_NT, 5), machine_with(c[0])), 0u);
    }
}

HANDLE heap_named_by(const void *block)
{
    HANDLE heap = nullptr;
    std::memcpy(&heap, static_cast<const std::byte *>(block) - module_block_header_size, sizeof heap);
    return heap;
}

void fill(void *block, std::size_t size, unsigned char seed)
{
    for (std::size_t i = 0; i < size; ++i)
        static_cast<unsigned char *>(block)[i] = static_cast<unsigned char>(seed ^ i);
}

bool holds(const void *block, std::size_t size, unsigned char seed)
{
    for (std::size_t i = 0; i < size; ++i)
        if (static_cast<const unsigned char *>(block)[i] != static_cast<unsigned char>(seed ^ i))
            return false;
    return true;
}

class ModuleHeaps : public testing::Test {
protected:
    void TearDown() override { module_heap_teardown(); }
};

TEST_F(ModuleHeaps, FourExtraHeapsServeAlignedBlocksInRotation)
{
    ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2)));
    const ModuleHeapState state = module_heap_state();
    ASSERT_EQ(state.heap_mask, 3u);
    const std::set<HANDLE> distinct(state.heap_table, state.heap_table + 4);
    EXPECT_EQ(distinct.size(), 4u);
    EXPECT_EQ(distinct.count(state.base_heap) + distinct.count(nullptr), 0u);
    const std::size_t expected_heap[] = {0, 1, 2, 3, 0};
    for (std::size_t i = 0; i < 5; ++i) {
        void *block = module_alloc(40);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(heap_named_by(block), state.heap_table[expected_heap[i]]) << i;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
        module_free(block);
    }
}

TEST_F(ModuleHeaps, WithoutExtraHeapsBlocksComeBareFromTheBaseHeap)
{
    ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 5), machine_with(8)));
    EXPECT_EQ(module_heap_state().heap_table, nullptr);
    void *block = module_alloc(32);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(HeapFree(module_heap_state().base_heap, 0, block)) << "the block carries a header";
}

HANDLE create_small_heap(DWORD options, SIZE_T, SIZE_T) { return HeapCreate(options, 0, 512 * 1024); }

// The routines behave alike whether or not extra heaps are in use.
class ModuleHeapRoutines : public testing::TestWithParam<DWORD> {
protected:
    void SetUp() override
    {
        // NT 4 with the parameter's processors; 0 means NT 5, without extra heaps.
        ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, GetParam() ? 4 : 5),
                                      machine_with(GetParam() ? GetParam() : 4), &create_small_heap));
    }
    void TearDown() override { module_heap_teardown(); }
    static bool extra_heaps() { return module_heap_state().heap_table != nullptr; }
};

TEST_P(ModuleHeapRoutines, ReallocationKeepsHeapAndContentsAndSurvivesFailure)
{
    module_free(nullptr);
    const ModuleHeapState before = module_heap_state();
    void *fresh = module_realloc(nullptr, 24);
    ASSERT_NE(fresh, nullptr);
    if (extra_heaps()) {
        EXPECT_EQ(heap_named_by(fresh), before.heap_table[before.next_heap & before.heap_mask]);
        EXPECT_EQ(module_heap_state().next_heap, before.next_heap + 1);
    }
    module_free(fresh);
    for (unsigned char i = 0; i < 5; ++i) {
        void *block = module_alloc(1000);
        ASSERT_NE(block, nullptr);
        const HANDLE home = extra_heaps() ? heap_named_by(block) : nullptr;
        fill(block, 1000, i);
        EXPECT_EQ(module_realloc(block, 1 << 20), nullptr);
        EXPECT_TRUE(holds(block, 1000, i)) << "a failed reallocation keeps the block";
        void *grown = module_realloc(block, 100000);
        ASSERT_NE(grown, nullptr);
        EXPECT_TRUE(holds(grown, 1000, i));
        void *shrunk = module_realloc(grown, 10);
        ASSERT_NE(shrunk, nullptr);
        EXPECT_TRUE(holds(shrunk, 10, i));
        if (extra_heaps()) {
            EXPECT_EQ(heap_named_by(shrunk), home);
        }
        module_free(shrunk);
    }
}

TEST_P(ModuleHeapRoutines, ArrayAllocationRefusesProductsBeyond32Bits)
{
    void *small = module_alloc_n(3, 5);
    ASSERT_NE(small, nullptr);
    fill(small, 15, 0);
    module_free(small);
    void *empty = module_alloc_n(0, 1000);
    EXPECT_NE(empty, nullptr);
    module_free(empty);
    const DWORD before = module_heap_state().next_heap;
    const std::size_t huge[][2] = {{0x10000, 0x10000}, {0x80000000u, 2}, {std::size_t(1) << 32, 1},
                                   {SIZE_MAX, 2}, {3, std::size_t(1) << 62}};
    for (const auto &request : huge)
        EXPECT_EQ(module_alloc_n(request[0], request[1]), nullptr) << request[0] << " x " << request[1];
    EXPECT_EQ(module_heap_state().next_heap, before) << "a refused request must not reach a heap";
}

TEST_P(ModuleHeapRoutines, ConcurrentUseKeepsBlocksOnTheHeapsTheyName)
{
    const ModuleHeapState state = module_heap_state();
    const std::set<HANDLE> extra(state.heap_table, state.heap_table + (state.heap_table ? state.heap_mask + 1 : 0));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::vector<void *> live;
            for (int i = 0; i < 500; ++i) {
                void *block = module_alloc(std::size_t(16 + i % 64));
                if (block == nullptr || (!extra.empty() && extra.count(heap_named_by(block)) == 0)) {
                    ++failures;
                    continue;
                }
                fill(block, 16, static_cast<unsigned char>(t));
                live.push_back(block);
            }
            for (void *block : live) {
                failures += !holds(block, 16, static_cast<unsigned char>(t));
                module_free(block);
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Processors, ModuleHeapRoutines, testing::Values(0u, 2u, 5u));

// Heap creation that fails at a chosen call and remembers what it created.
int creations_before_failure = 0;
std::vector<HANDLE> created_heaps;

HANDLE create_until_failure(DWORD options, SIZE_T initial, SIZE_T maximum)
{
    if (creations_before_failure-- == 0)
        return nullptr;
    created_heaps.push_back(HeapCreate(options, initial, maximum));
    return created_heaps.back();
}

// A base heap with no room left for the heap table.
HANDLE create_full_heap(DWORD options, SIZE_T, SIZE_T)
{
    HANDLE heap = HeapCreate(options, 0, 4096);
    while (HeapAlloc(heap, 0, 64) != nullptr) {
    }
    created_heaps.push_back(heap);
    return heap;
}

void expect_nothing_left()
{
    EXPECT_EQ(module_heap_state().base_heap, nullptr);
    EXPECT_EQ(module_heap_state().heap_table, nullptr);
    EXPECT_EQ(module_alloc(16), nullptr);
    EXPECT_EQ(module_alloc_n(2, 8), nullptr);
    EXPECT_EQ(module_realloc(nullptr, 8), nullptr);
    for (HANDLE heap : created_heaps)
        EXPECT_FALSE(HeapDestroy(heap)) << "a heap of the failed set-up is still alive";
    created_heaps.clear();
}

TEST_F(ModuleHeaps, FailedSetUpsLeaveNothingAndAllocationsFail)
{
    // The base heap, then each of the four extra heaps of a two-processor NT 4 machine.
    for (int failing = 0; failing < 5; ++failing) {
        creations_before_failure = failing;
        EXPECT_FALSE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2), &create_until_failure));
        expect_nothing_left();
    }
    ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2)));
    ASSERT_NE(module_alloc(32), nullptr);
    EXPECT_FALSE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2), &create_full_heap));
    expect_nothing_left();
}

TEST_F(ModuleHeaps, TearDownDestroysTheHeapsWithTheirBlocks)
{
    ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(4)));
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
