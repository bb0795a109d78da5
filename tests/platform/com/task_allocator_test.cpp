// The task allocator's documented edge results.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(TaskAllocator, AllocatesWritableBlocksAndFreesNull)
{
    auto *p = static_cast<unsigned char *>(CoTaskMemAlloc(64));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0xAB, 64);
    CoTaskMemFree(p);
    CoTaskMemFree(nullptr);

    void *empty = CoTaskMemAlloc(0);
    EXPECT_NE(empty, nullptr);
    CoTaskMemFree(empty);
}

TEST(TaskAllocator, ReallocOfNullAllocates)
{
    auto *p = static_cast<char *>(CoTaskMemRealloc(nullptr, 16));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "fifteen chars..", 16);
    CoTaskMemFree(p);
}

TEST(TaskAllocator, ReallocKeepsContentsWhenGrowing)
{
    auto *p = static_cast<char *>(CoTaskMemAlloc(8));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "1234567", 8);
    auto *q = static_cast<char *>(CoTaskMemRealloc(p, 4096));
    ASSERT_NE(q, nullptr);
    EXPECT_STREQ(q, "1234567");
    q[4095] = 'x';
    CoTaskMemFree(q);
}

TEST(TaskAllocator, ReallocToZeroFreesTheBlock)
{
    void *p = CoTaskMemAlloc(32);
    ASSERT_NE(p, nullptr);
    // The block is gone afterwards; the leak checker of the sanitizer build
    // would report it otherwise.
    EXPECT_EQ(CoTaskMemRealloc(p, 0), nullptr);
}

TEST(TaskAllocator, ImpossibleSizesFailAndLeaveTheOldBlock)
{
    EXPECT_EQ(CoTaskMemAlloc(SIZE_MAX), nullptr);
    EXPECT_EQ(CoTaskMemAlloc(SIZE_MAX / 2 + 1), nullptr);

    auto *p = static_cast<char *>(CoTaskMemAlloc(6));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "still", 6);
    EXPECT_EQ(CoTaskMemRealloc(p, SIZE_MAX), nullptr);
    EXPECT_STREQ(p, "still");
    CoTaskMemFree(p);
}
