// Private heaps: zeroing, reallocation, limits, foreign handles, live blocks, concurrent use.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

static bool holds(const void *block, std::size_t from, std::size_t to, int seed)
{
    const auto *bytes = static_cast<const unsigned char *>(block);
    return std::all_of(bytes + from, bytes + to, [&](unsigned char b) { return b == seed; });
}

TEST(Heap, ZeroingReallocationAndFixedSizeLimits)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    void *block = HeapAlloc(heap, 0, 4096); // freed dirty, so its memory is likely reused
    std::memset(block, 0xAB, 4096);
    ASSERT_TRUE(HeapFree(heap, 0, block));
    block = HeapAlloc(heap, HEAP_ZERO_MEMORY, 4096);
    EXPECT_TRUE(holds(block, 0, 4096, 0));
    EXPECT_NE(HeapAlloc(heap, 0, 0), HeapAlloc(heap, 0, 0));
    std::memset(block, 3, 40);
    block = HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 300000);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(holds(block, 0, 40, 3) && holds(block, 40, 300000, 0));
    // In place only: shrinking and zeroed growth within the block stay put; more fails.
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, block, 64), block);
    std::memset(block, 7, 128);
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY | HEAP_ZERO_MEMORY, block, 128), block);
    EXPECT_TRUE(holds(block, 64, 128, 0));
    SetLastError(0);
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, block, 1 << 20), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(HeapDestroy(heap));

    HANDLE fixed = HeapCreate(0, 0, 64 * 1024); // refused growth is the module heaps' test
    std::vector<void *> blocks; // bounded, so that a heap without a limit fails rather than runs on
    while (blocks.size() < 64 && (block = HeapAlloc(fixed, 0, 4096)) != nullptr)
        blocks.push_back(block);
    EXPECT_EQ(blocks.size(), 16u) << "exactly the maximum size fits";
    ASSERT_TRUE(HeapFree(fixed, 0, blocks.back()));
    EXPECT_NE(HeapAlloc(fixed, 0, 4096), nullptr) << "freeing makes room again";
    for (const SIZE_T size : {SIZE_T(-1), SIZE_T(1) << 45}) {
        SetLastError(0);
        EXPECT_EQ(HeapAlloc(fixed, 0, size), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    }
    EXPECT_TRUE(HeapDestroy(fixed));
}

TEST(Heap, RefusesBlocksAndHandlesItDidNotHandOut)
{
    HANDLE first = HeapCreate(0, 0, 0), second = HeapCreate(0, 0, 0), destroyed = HeapCreate(0, 0, 0);
    auto *block = static_cast<char *>(HeapAlloc(first, 0, 64));
    int local = 0;
    EXPECT_EQ(HeapReAlloc(second, 0, block, 128), nullptr); // freeing a foreign block is the C client's test
    EXPECT_FALSE(HeapFree(first, 0, block + 1)) << "an address inside a block is not a block";
    EXPECT_EQ(HeapReAlloc(first, 0, nullptr, 8), nullptr);
    EXPECT_TRUE(HeapFree(first, 0, nullptr));
    EXPECT_TRUE(HeapFree(first, 0, block));
    EXPECT_FALSE(HeapFree(first, 0, block)) << "double free";
    ASSERT_TRUE(HeapDestroy(destroyed));
    for (HANDLE handle : {HANDLE(nullptr), HANDLE(&local), destroyed}) {
        SetLastError(0);
        EXPECT_EQ(HeapAlloc(handle, 0, 8), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(HeapFree(handle, 0, &local) || HeapReAlloc(handle, 0, &local, 8) || HeapDestroy(handle));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
    EXPECT_TRUE(HeapDestroy(first) && HeapDestroy(second));
}

// Threads destroy their own heaps with live blocks; the sanitizer build fails if any survive.
TEST(Heap, ConcurrentUseAndDestructionWithLiveBlocks)
{
    HANDLE shared = HeapCreate(0, 0, 0);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int id = 1; id <= 4; ++id)
        threads.emplace_back([&, id] {
            HANDLE own = HeapCreate(0, 0, 0);
            std::vector<std::pair<void *, std::size_t>> live;
            for (int round = 0; round < 2000; ++round) {
                HANDLE heap = round % 2 == 0 ? shared : own;
                const std::size_t size = std::size_t(8 + (round * 37 + id * 11) % 500);
                void *block = HeapAlloc(heap, 0, size);
                std::memset(block, id, size);
                if (round % 5 == 0)
                    block = HeapReAlloc(heap, 0, block, size * 3);
                failures += block == nullptr || !holds(block, 0, size, id);
                live.emplace_back(block, size);
            }
            for (const auto &[block, size] : live)
                failures += !holds(block, 0, size, id);
            failures += !HeapDestroy(own);
        });
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(HeapDestroy(shared));
}
