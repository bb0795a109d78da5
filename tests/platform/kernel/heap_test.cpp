// Private heaps: zeroing, reallocation, fixed-size heaps, foreign handles and
// blocks, destruction with live blocks, and concurrent use.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// A heap destroyed at the end of the scope.
struct Heap {
    HANDLE handle;
    explicit Heap(SIZE_T maximum = 0) : handle(HeapCreate(0, 0, maximum)) {}
    ~Heap() { HeapDestroy(handle); }
    Heap(const Heap &) = delete;
    Heap &operator=(const Heap &) = delete;
};

void fill(void *block, std::size_t size, unsigned char seed)
{
    for (std::size_t i = 0; i < size; ++i)
        static_cast<unsigned char *>(block)[i] = static_cast<unsigned char>(seed + i * 7);
}

bool holds(const void *block, std::size_t size, unsigned char seed)
{
    for (std::size_t i = 0; i < size; ++i)
        if (static_cast<const unsigned char *>(block)[i] != static_cast<unsigned char>(seed + i * 7))
            return false;
    return true;
}

bool all_zero(const void *block, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        if (static_cast<const unsigned char *>(block)[i] != 0)
            return false;
    return true;
}

TEST(Heap, ZeroesOnRequestAndKeepsContentsThroughReallocation)
{
    Heap heap;
    void *dirty = HeapAlloc(heap.handle, 0, 4096); // freed dirty, so its memory is likely reused
    std::memset(dirty, 0xAB, 4096);
    ASSERT_TRUE(HeapFree(heap.handle, 0, dirty));
    void *zeroed = HeapAlloc(heap.handle, HEAP_ZERO_MEMORY, 4096);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_TRUE(all_zero(zeroed, 0, 4096));
    void *empty1 = HeapAlloc(heap.handle, 0, 0), *empty2 = HeapAlloc(heap.handle, 0, 0);
    EXPECT_NE(empty1, empty2);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(empty1) % 16, 0u);
    EXPECT_TRUE(HeapFree(heap.handle, 0, nullptr));

    void *block = HeapAlloc(heap.handle, 0, 100);
    fill(block, 100, 3);
    block = HeapReAlloc(heap.handle, 0, block, 1 << 20);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(holds(block, 100, 3));
    block = HeapReAlloc(heap.handle, 0, block, 40);
    block = HeapReAlloc(heap.handle, HEAP_ZERO_MEMORY, block, 300000);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(holds(block, 40, 3));
    EXPECT_TRUE(all_zero(block, 40, 300000));

    // In place only: shrinking and zeroed growth within the block stay put; more fails.
    EXPECT_EQ(HeapReAlloc(heap.handle, HEAP_REALLOC_IN_PLACE_ONLY, block, 64), block);
    EXPECT_EQ(HeapReAlloc(heap.handle, HEAP_REALLOC_IN_PLACE_ONLY | HEAP_ZERO_MEMORY, block, 128), block);
    EXPECT_TRUE(all_zero(block, 64, 128));
    SetLastError(0);
    EXPECT_EQ(HeapReAlloc(heap.handle, HEAP_REALLOC_IN_PLACE_ONLY, block, 1 << 20), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(holds(block, 40, 3));
}

TEST(Heap, AFixedSizeHeapRefusesToGrowAndKeepsTheOldBlock)
{
    Heap heap(64 * 1024);
    void *block = HeapAlloc(heap.handle, 0, 1024);
    ASSERT_NE(block, nullptr);
    fill(block, 1024, 5);
    SetLastError(0);
    EXPECT_EQ(HeapReAlloc(heap.handle, 0, block, 1 << 20), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(holds(block, 1024, 5));
    EXPECT_EQ(HeapAlloc(heap.handle, 0, 64 * 1024), nullptr);

    std::vector<void *> blocks; // filling the heap, then freeing, makes room again
    while (blocks.size() < 64) { // bounded, so that a heap without a limit fails rather than runs on
        void *more = HeapAlloc(heap.handle, 0, 4096);
        if (more == nullptr)
            break;
        blocks.push_back(more);
    }
    EXPECT_FALSE(blocks.empty());
    EXPECT_LT(blocks.size(), 16u);
    ASSERT_TRUE(HeapFree(heap.handle, 0, blocks.back()));
    EXPECT_NE(HeapAlloc(heap.handle, 0, 4096), nullptr);

    for (const SIZE_T size : {SIZE_T(-1), SIZE_T(-1) / 2, SIZE_T(1) << 45}) {
        SetLastError(0);
        EXPECT_EQ(HeapAlloc(heap.handle, 0, size), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    }
    EXPECT_EQ(HeapReAlloc(heap.handle, 0, block, SIZE_T(-1)), nullptr);
}

TEST(Heap, RefusesBlocksAndHandlesItDidNotHandOut)
{
    Heap first, second;
    auto *block = static_cast<char *>(HeapAlloc(first.handle, 0, 64));
    fill(block, 64, 1);
    int local = 0;
    SetLastError(0);
    EXPECT_FALSE(HeapFree(second.handle, 0, block));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(HeapReAlloc(second.handle, 0, block, 128), nullptr);
    EXPECT_FALSE(HeapFree(first.handle, 0, block + 1)) << "an address inside a block is not a block";
    EXPECT_FALSE(HeapFree(first.handle, 0, &local));
    EXPECT_EQ(HeapReAlloc(first.handle, 0, nullptr, 8), nullptr);
    EXPECT_TRUE(holds(block, 64, 1));
    EXPECT_TRUE(HeapFree(first.handle, 0, block));
    EXPECT_FALSE(HeapFree(first.handle, 0, block)) << "double free";

    HANDLE destroyed = HeapCreate(0, 0, 0);
    ASSERT_TRUE(HeapDestroy(destroyed));
    for (HANDLE handle : {HANDLE(nullptr), HANDLE(&local), destroyed}) {
        SetLastError(0);
        EXPECT_EQ(HeapAlloc(handle, 0, 8), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(HeapFree(handle, 0, &local));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(HeapReAlloc(handle, 0, &local, 8), nullptr);
        SetLastError(0);
        EXPECT_FALSE(HeapDestroy(handle));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
}

// The leak checker of the sanitizer build fails the run if any of these blocks survive.
TEST(Heap, DestroyingAHeapReleasesItsLiveBlocks)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    for (int i = 0; i < 1000; ++i) {
        void *block = HeapAlloc(heap, 0, SIZE_T(16 + i % 300));
        ASSERT_NE(block, nullptr);
        if (i % 3 == 0)
            ASSERT_NE(HeapReAlloc(heap, 0, block, 2000), nullptr);
    }
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST(Heap, ConcurrentUseOfSharedAndOwnHeapsKeepsEveryBlockIntact)
{
    Heap shared;
    std::atomic<int> failures{0};
    auto worker = [&](int id) {
        HANDLE own = HeapCreate(0, 0, 0);
        const auto seed = static_cast<unsigned char>(id);
        struct Live {
            HANDLE heap;
            void *block;
            std::size_t size;
        };
        std::vector<Live> live;
        for (int round = 0; round < 2000; ++round) {
            HANDLE heap = round % 2 == 0 ? shared.handle : own;
            const std::size_t size = std::size_t(8 + (round * 37 + id * 11) % 500);
            void *block = HeapAlloc(heap, 0, size);
            if (block == nullptr) {
                ++failures;
                continue;
            }
            fill(block, size, seed);
            if (round % 5 == 0) {
                block = HeapReAlloc(heap, 0, block, size * 3);
                failures += block == nullptr || !holds(block, size, seed);
                HeapFree(heap, 0, block);
            } else {
                live.push_back({heap, block, size});
            }
        }
        for (const Live &entry : live)
            failures += !holds(entry.block, entry.size, seed) ||
                        (entry.heap == shared.handle && !HeapFree(shared.handle, 0, entry.block));
        failures += !HeapDestroy(own); // the own heap's blocks go with it
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < 4; ++id)
        threads.emplace_back(worker, id);
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
