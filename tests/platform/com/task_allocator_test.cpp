// The task allocator's edge results: impossible sizes fail and keep the old
// block, reallocation keeps contents, and reallocation to zero frees.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(TaskAllocator, EdgeSizes)
{
    EXPECT_EQ(CoTaskMemAlloc(SIZE_MAX), nullptr);
    EXPECT_EQ(CoTaskMemAlloc(SIZE_MAX / 2 + 1), nullptr);
    void *empty = CoTaskMemAlloc(0);
    EXPECT_NE(empty, nullptr);
    CoTaskMemFree(empty);
    auto *p = static_cast<char *>(CoTaskMemRealloc(nullptr, 6));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "still", 6);
    EXPECT_EQ(CoTaskMemRealloc(p, SIZE_MAX), nullptr);
    EXPECT_STREQ(p, "still");
    p = static_cast<char *>(CoTaskMemRealloc(p, 4096));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "still");
    // The block is gone afterwards; the sanitizer build's leak checker would report it otherwise.
    EXPECT_EQ(CoTaskMemRealloc(p, 0), nullptr);
    CoTaskMemFree(nullptr);
}
