// The module heaps: how many extra heaps a machine gets, the rotation over
// them, the four routines with and without extra heaps, and failed set-ups.
#include "server/module_heap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <ostream>
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

TEST(ModuleHeapPlan, OlderSystemsGetAPowerOfTwoUpToTwiceTheProcessors)
{
    const struct {
        DWORD processors;
        DWORD heaps;
    } cases[] = {{0, 0}, {1, 0}, {2, 4}, {3, 4}, {4, 8}, {5, 8}, {7, 8}, {8, 16}, {15, 16}, {16, 32}, {100, 128}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.processors);
        EXPECT_EQ(module_heap_extra_count(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(c.processors)), c.heaps);
        EXPECT_EQ(module_heap_extra_count(version_of(VER_PLATFORM_WIN32_NT, 3), machine_with(c.processors)), c.heaps);
        EXPECT_EQ(module_heap_extra_count(version_of(VER_PLATFORM_WIN32_WINDOWS, 4), machine_with(c.processors)),
                  c.heaps);
        // Only the NT family is judged by its version.
        EXPECT_EQ(module_heap_extra_count(version_of(VER_PLATFORM_WIN32_WINDOWS, 5), machine_with(c.processors)),
                  c.heaps);
    }
}

TEST(ModuleHeapPlan, NtFiveAndLaterNeverUseExtraHeaps)
{
    for (const DWORD major : {5u, 6u, 10u}) {
        for (const DWORD processors : {1u, 2u, 3u, 8u, 64u, 1024u}) {
            EXPECT_EQ(module_heap_extra_count(version_of(VER_PLATFORM_WIN32_NT, major), machine_with(processors)), 0u)
                << major << " " << processors;
        }
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
    auto *bytes = static_cast<unsigned char *>(block);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(seed ^ i);
}

bool holds(const void *block, std::size_t size, unsigned char seed)
{
    const auto *bytes = static_cast<const unsigned char *>(block);
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != static_cast<unsigned char>(seed ^ i))
            return false;
    return true;
}

class ModuleHeaps : public testing::Test {
protected:
    void TearDown() override { module_heap_teardown(); }
};

TEST_F(ModuleHeaps, FourExtraHeapsServeBlocksInRotation)
{
    ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2)));
    const ModuleHeapState state = module_heap_state();
    ASSERT_NE(state.base_heap, nullptr);
    ASSERT_NE(state.heap_table, nullptr);
    ASSERT_EQ(state.heap_mask, 3u);
    const std::set<HANDLE> distinct(state.heap_table, state.heap_table + 4);
    EXPECT_EQ(distinct.size(), 4u);
    EXPECT_EQ(distinct.count(state.base_heap), 0u);
    EXPECT_EQ(distinct.count(nullptr), 0u);

    std::vector<void *> blocks;
    for (int i = 0; i < 5; ++i) {
        blocks.push_back(module_alloc(40));
        ASSERT_NE(blocks.back(), nullptr);
        fill(blocks.back(), 40, static_cast<unsigned char>(i));
    }
    const std::size_t expected_heap[] = {0, 1, 2, 3, 0};
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(heap_named_by(blocks[i]), state.heap_table[expected_heap[i]]);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks[i]) % 16, 0u);
        EXPECT_TRUE(holds(blocks[i], 40, static_cast<unsigned char>(i)));
    }
    EXPECT_EQ(module_heap_state().next_heap, 5u);
    for (void *block : blocks)
        module_free(block);
}

TEST_F(ModuleHeaps, WithoutExtraHeapsBlocksComeBareFromTheBaseHeap)
{
    ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 5), machine_with(8)));
    const ModuleHeapState state = module_heap_state();
    EXPECT_EQ(state.heap_table, nullptr);
    EXPECT_EQ(state.heap_mask, 0u);
    void *block = module_alloc(32);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(HeapFree(state.base_heap, 0, block)) << "the block is the base heap's own, with no header";
}

// The routines behave alike whether or not extra heaps are in use.
struct Layout {
    const char *name;
    DWORD platform;
    DWORD major;
    DWORD processors;
};

void PrintTo(const Layout &layout, std::ostream *out)
{
    *out << layout.name;
}

class ModuleHeapRoutines : public testing::TestWithParam<Layout> {
protected:
    void SetUp() override { ASSERT_TRUE(set_up()); }
    void TearDown() override { module_heap_teardown(); }

    bool set_up(ModuleHeapCreate create = &HeapCreate)
    {
        return module_heap_setup(version_of(GetParam().platform, GetParam().major),
                                 machine_with(GetParam().processors), create);
    }
    static bool extra_heaps() { return module_heap_state().heap_table != nullptr; }
};

TEST_P(ModuleHeapRoutines, FreeingNullDoesNothing)
{
    const ModuleHeapState before = module_heap_state();
    module_free(nullptr);
    EXPECT_EQ(module_heap_state().next_heap, before.next_heap);
    void *block = module_alloc(8);
    EXPECT_NE(block, nullptr);
    module_free(block);
}

TEST_P(ModuleHeapRoutines, ReallocatingNullAllocates)
{
    const ModuleHeapState before = module_heap_state();
    void *block = module_realloc(nullptr, 100);
    ASSERT_NE(block, nullptr);
    fill(block, 100, 7);
    if (extra_heaps()) {
        EXPECT_EQ(heap_named_by(block), before.heap_table[before.next_heap & before.heap_mask]);
        EXPECT_EQ(module_heap_state().next_heap, before.next_heap + 1);
    }
    module_free(block);
}

TEST_P(ModuleHeapRoutines, AReallocatedBlockKeepsItsHeapAndContents)
{
    std::vector<void *> blocks;
    std::vector<HANDLE> homes;
    for (int i = 0; i < 6; ++i) {
        blocks.push_back(module_alloc(24));
        ASSERT_NE(blocks.back(), nullptr);
        fill(blocks.back(), 24, static_cast<unsigned char>(i));
        if (extra_heaps())
            homes.push_back(heap_named_by(blocks.back()));
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        void *grown = module_realloc(blocks[i], 100000);
        ASSERT_NE(grown, nullptr);
        EXPECT_TRUE(holds(grown, 24, static_cast<unsigned char>(i)));
        if (extra_heaps()) {
            EXPECT_EQ(heap_named_by(grown), homes[i]);
        }
        fill(grown, 100000, static_cast<unsigned char>(i));
        void *shrunk = module_realloc(grown, 10);
        ASSERT_NE(shrunk, nullptr);
        EXPECT_TRUE(holds(shrunk, 10, static_cast<unsigned char>(i)));
        if (extra_heaps()) {
            EXPECT_EQ(heap_named_by(shrunk), homes[i]);
        }
        module_free(shrunk);
    }
}

HANDLE create_small_heap(DWORD options, SIZE_T, SIZE_T)
{
    return HeapCreate(options, 0, 256 * 1024);
}

TEST_P(ModuleHeapRoutines, AFailedReallocationLeavesTheBlockValid)
{
    module_heap_teardown();
    ASSERT_TRUE(set_up(&create_small_heap));
    void *block = module_alloc(1000);
    ASSERT_NE(block, nullptr);
    fill(block, 1000, 3);
    EXPECT_EQ(module_realloc(block, 1 << 20), nullptr);
    EXPECT_TRUE(holds(block, 1000, 3));
    EXPECT_EQ(module_alloc(1 << 20), nullptr);
    void *grown = module_realloc(block, 2000);
    ASSERT_NE(grown, nullptr);
    EXPECT_TRUE(holds(grown, 1000, 3));
    module_free(grown);
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
                                   {SIZE_MAX, 2}, {SIZE_MAX, SIZE_MAX}, {3, std::size_t(1) << 62}};
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
                if (!holds(block, 16, static_cast<unsigned char>(t)))
                    ++failures;
                module_free(block);
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ModuleHeapRoutines,
                         testing::Values(Layout{"NoExtraHeaps", VER_PLATFORM_WIN32_NT, 5, 4},
                                         Layout{"FourExtraHeaps", VER_PLATFORM_WIN32_NT, 4, 2},
                                         Layout{"EightExtraHeaps", VER_PLATFORM_WIN32_WINDOWS, 4, 5}),
                         [](const testing::TestParamInfo<Layout> &layout) { return std::string(layout.param.name); });

// Heap creation that fails at a chosen call and remembers what it created.
int creations_before_failure = 0;
std::vector<HANDLE> created_heaps;

HANDLE create_until_failure(DWORD options, SIZE_T initial, SIZE_T maximum)
{
    if (creations_before_failure-- == 0)
        return nullptr;
    HANDLE heap = HeapCreate(options, initial, maximum);
    created_heaps.push_back(heap);
    return heap;
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

void expect_every_allocation_fails()
{
    const ModuleHeapState state = module_heap_state();
    EXPECT_EQ(state.base_heap, nullptr);
    EXPECT_EQ(state.heap_table, nullptr);
    EXPECT_EQ(module_alloc(16), nullptr);
    EXPECT_EQ(module_alloc_n(2, 8), nullptr);
    EXPECT_EQ(module_realloc(nullptr, 8), nullptr);
    module_free(nullptr);
}

void expect_created_heaps_destroyed()
{
    for (HANDLE heap : created_heaps)
        EXPECT_FALSE(HeapDestroy(heap)) << "a heap of the failed set-up is still alive";
    created_heaps.clear();
}

TEST_F(ModuleHeaps, AFailedHeapCreationLeavesNothingAndAllocationsFail)
{
    // Base heap, then the four extra heaps of a two-processor NT 4 machine.
    for (int failing_call = 0; failing_call < 5; ++failing_call) {
        SCOPED_TRACE(failing_call);
        creations_before_failure = failing_call;
        EXPECT_FALSE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2), &create_until_failure));
        expect_every_allocation_fails();
        expect_created_heaps_destroyed();
    }
}

TEST_F(ModuleHeaps, AFailedTableAllocationLeavesNothingAndAllocationsFail)
{
    ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2)));
    void *earlier = module_alloc(32);
    ASSERT_NE(earlier, nullptr);
    EXPECT_FALSE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2), &create_full_heap));
    expect_every_allocation_fails();
    expect_created_heaps_destroyed();

    // A later good set-up works again.
    ASSERT_TRUE(module_heap_setup(version_of(VER_PLATFORM_WIN32_NT, 4), machine_with(2)));
    void *block = module_alloc(32);
    EXPECT_NE(block, nullptr);
    module_free(block);
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
    expect_every_allocation_fails();
    module_heap_teardown(); // a second tear-down is harmless
}

} // namespace
