// Private heaps: allocation flags, reallocation, fixed-size heaps, invalid
// handles and blocks, destruction with live blocks, and concurrent use.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// A heap destroyed at the end of the scope.
class Heap {
public:
    explicit Heap(SIZE_T maximum = 0) : handle_(HeapCreate(0, 0, maximum)) {}
    ~Heap()
    {
        if (handle_ != nullptr)
            HeapDestroy(handle_);
    }
    Heap(const Heap &) = delete;
    Heap &operator=(const Heap &) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

void fill(void *block, std::size_t size, unsigned char seed)
{
    auto *bytes = static_cast<unsigned char *>(block);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(seed + i * 7);
}

bool holds(const void *block, std::size_t size, unsigned char seed)
{
    const auto *bytes = static_cast<const unsigned char *>(block);
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != static_cast<unsigned char>(seed + i * 7))
            return false;
    return true;
}

bool all_zero(const void *block, std::size_t from, std::size_t to)
{
    const auto *bytes = static_cast<const unsigned char *>(block);
    for (std::size_t i = from; i < to; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

TEST(Heap, BlocksAreDistinctAlignedAndZeroedOnRequest)
{
    Heap heap;
    ASSERT_NE(heap.get(), nullptr);
    // A dirty block freed first makes reuse of its memory likely.
    void *dirty = HeapAlloc(heap.get(), 0, 4096);
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xAB, 4096);
    ASSERT_TRUE(HeapFree(heap.get(), 0, dirty));
    void *zeroed = HeapAlloc(heap.get(), HEAP_ZERO_MEMORY, 4096);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_TRUE(all_zero(zeroed, 0, 4096));

    void *empty1 = HeapAlloc(heap.get(), 0, 0);
    void *empty2 = HeapAlloc(heap.get(), 0, 0);
    ASSERT_NE(empty1, nullptr);
    ASSERT_NE(empty2, nullptr);
    EXPECT_NE(empty1, empty2);
    for (void *block : {zeroed, empty1, empty2}) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
    }
    EXPECT_TRUE(HeapFree(heap.get(), 0, empty1));
    EXPECT_TRUE(HeapFree(heap.get(), 0, nullptr));
}

TEST(Heap, ReallocationKeepsContentsAndZeroesGrowthOnRequest)
{
    Heap heap;
    void *block = HeapAlloc(heap.get(), 0, 100);
    ASSERT_NE(block, nullptr);
    fill(block, 100, 3);
    block = HeapReAlloc(heap.get(), 0, block, 1 << 20);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(holds(block, 100, 3));
    block = HeapReAlloc(heap.get(), 0, block, 40);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(holds(block, 40, 3));
    block = HeapReAlloc(heap.get(), HEAP_ZERO_MEMORY, block, 300000);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(holds(block, 40, 3));
    EXPECT_TRUE(all_zero(block, 40, 300000));
    EXPECT_TRUE(HeapFree(heap.get(), 0, block));
}

TEST(Heap, InPlaceReallocationNeverMovesTheBlock)
{
    Heap heap;
    void *block = HeapAlloc(heap.get(), 0, 256);
    ASSERT_NE(block, nullptr);
    fill(block, 256, 9);
    EXPECT_EQ(HeapReAlloc(heap.get(), HEAP_REALLOC_IN_PLACE_ONLY, block, 64), block);
    EXPECT_EQ(HeapReAlloc(heap.get(), HEAP_REALLOC_IN_PLACE_ONLY | HEAP_ZERO_MEMORY, block, 128), block);
    EXPECT_TRUE(holds(block, 64, 9));
    EXPECT_TRUE(all_zero(block, 64, 128));
    SetLastError(0);
    EXPECT_EQ(HeapReAlloc(heap.get(), HEAP_REALLOC_IN_PLACE_ONLY, block, 1 << 20), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(holds(block, 64, 9));
    EXPECT_TRUE(HeapFree(heap.get(), 0, block));
}

TEST(Heap, AFixedSizeHeapRefusesToGrowAndKeepsTheOldBlock)
{
    Heap heap(64 * 1024);
    void *block = HeapAlloc(heap.get(), 0, 1024);
    ASSERT_NE(block, nullptr);
    fill(block, 1024, 5);

    SetLastError(0);
    EXPECT_EQ(HeapReAlloc(heap.get(), 0, block, 1 << 20), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(holds(block, 1024, 5));
    EXPECT_EQ(HeapAlloc(heap.get(), 0, 64 * 1024), nullptr);

    // Filling the heap up, then freeing, makes room again.
    std::vector<void *> blocks;
    while (void *more = HeapAlloc(heap.get(), 0, 4096))
        blocks.push_back(more);
    EXPECT_FALSE(blocks.empty());
    EXPECT_LT(blocks.size(), 16u);
    ASSERT_TRUE(HeapFree(heap.get(), 0, blocks.back()));
    EXPECT_NE(HeapAlloc(heap.get(), 0, 4096), nullptr);
    EXPECT_TRUE(HeapFree(heap.get(), 0, block));
}

TEST(Heap, ImpossibleSizesFailCleanly)
{
    Heap heap;
    for (const SIZE_T size : {SIZE_T(-1), SIZE_T(-1) / 2, SIZE_T(1) << 45}) {
        SetLastError(0);
        EXPECT_EQ(HeapAlloc(heap.get(), 0, size), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    }
    void *block = HeapAlloc(heap.get(), 0, 16);
    EXPECT_EQ(HeapReAlloc(heap.get(), 0, block, SIZE_T(-1)), nullptr);
    EXPECT_TRUE(HeapFree(heap.get(), 0, block));
}

TEST(Heap, BlocksAreRefusedByHeapsThatDidNotHandThemOut)
{
    Heap first;
    Heap second;
    auto *block = static_cast<char *>(HeapAlloc(first.get(), 0, 64));
    ASSERT_NE(block, nullptr);
    fill(block, 64, 1);

    SetLastError(0);
    EXPECT_FALSE(HeapFree(second.get(), 0, block));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(HeapReAlloc(second.get(), 0, block, 128), nullptr);
    EXPECT_FALSE(HeapFree(first.get(), 0, block + 1)) << "an address inside a block is not a block";
    int local = 0;
    EXPECT_FALSE(HeapFree(first.get(), 0, &local));
    EXPECT_EQ(HeapReAlloc(first.get(), 0, nullptr, 8), nullptr);
    EXPECT_TRUE(holds(block, 64, 1));

    EXPECT_TRUE(HeapFree(first.get(), 0, block));
    SetLastError(0);
    EXPECT_FALSE(HeapFree(first.get(), 0, block)) << "double free";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Heap, InvalidHandlesFailWithInvalidHandle)
{
    int not_a_heap = 0;
    HANDLE destroyed = HeapCreate(0, 0, 0);
    ASSERT_NE(destroyed, nullptr);
    ASSERT_TRUE(HeapDestroy(destroyed));
    for (HANDLE handle : {HANDLE(nullptr), HANDLE(&not_a_heap), destroyed}) {
        SetLastError(0);
        EXPECT_EQ(HeapAlloc(handle, 0, 8), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(HeapFree(handle, 0, &not_a_heap));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(HeapReAlloc(handle, 0, &not_a_heap, 8), nullptr);
        SetLastError(0);
        EXPECT_FALSE(HeapDestroy(handle));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
}

// The leak checker of the sanitizer build fails the run if any of these blocks survive.
TEST(Heap, DestroyingAHeapReleasesItsLiveBlocks)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    ASSERT_NE(heap, nullptr);
    for (int i = 0; i < 1000; ++i) {
        void *block = HeapAlloc(heap, 0, SIZE_T(16 + i % 300));
        ASSERT_NE(block, nullptr);
        if (i % 3 == 0) {
            ASSERT_NE(HeapReAlloc(heap, 0, block, 2000), nullptr);
        }
    }
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST(Heap, ConcurrentUseOfSharedAndOwnHeapsKeepsEveryBlockIntact)
{
    Heap shared;
    std::atomic<int> failures{0};
    auto worker = [&](int id) {
        HANDLE own = HeapCreate(0, 0, 0);
        struct Live {
            HANDLE heap;
            void *block;
            std::size_t size;
        };
        std::vector<Live> live;
        for (int round = 0; round < 2000; ++round) {
            HANDLE heap = round % 2 == 0 ? shared.get() : own;
            const std::size_t size = std::size_t(8 + (round * 37 + id * 11) % 500);
            void *block = HeapAlloc(heap, 0, size);
            if (block == nullptr) {
                ++failures;
                continue;
            }
            fill(block, size, static_cast<unsigned char>(id));
            if (round % 5 == 0) {
                block = HeapReAlloc(heap, 0, block, size * 3);
                if (block == nullptr || !holds(block, size, static_cast<unsigned char>(id)))
                    ++failures;
                HeapFree(heap, 0, block);
            } else if (round % 7 == 0) {
                if (!holds(block, size, static_cast<unsigned char>(id)) || !HeapFree(heap, 0, block))
                    ++failures;
            } else {
                live.push_back({heap, block, size});
            }
        }
        for (const Live &entry : live)
            if (!holds(entry.block, entry.size, static_cast<unsigned char>(id)))
                ++failures;
        // The shared heap's blocks are freed one by one; the own heap's go with it.
        for (const Live &entry : live)
            if (entry.heap == shared.get() && !HeapFree(shared.get(), 0, entry.block))
                ++failures;
        if (!HeapDestroy(own))
            ++failures;
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < 4; ++id)
        threads.emplace_back(worker, id);
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
