// Length-prefixed strings: the prefix, the terminator and the refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {
std::uint32_t prefix_of(BSTR s)
{
    std::uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<const char *>(s) - sizeof prefix, sizeof prefix);
    return prefix;
}
} // namespace

TEST(Bstr, PrefixHoldsTheByteLengthAndAZeroFollowsTheText)
{
    BSTR s = SysAllocString(u"Morvane");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(prefix_of(s), 14u);
    EXPECT_EQ(SysStringLen(s), 7u);
    EXPECT_EQ(SysStringByteLen(s), 14u);
    EXPECT_EQ(std::memcmp(s, u"Morvane", 8 * sizeof(OLECHAR)), 0);
    EXPECT_EQ(s[7], 0);
    SysFreeString(s);
}

TEST(Bstr, EmptyStringIsNotNull)
{
    BSTR s = SysAllocString(u"");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 0u);
    EXPECT_EQ(prefix_of(s), 0u);
    EXPECT_EQ(s[0], 0);
    SysFreeString(s);
}

TEST(Bstr, ExplicitLengthKeepsEmbeddedZerosAndCutsLongerInput)
{
    const OLECHAR text[] = {u'a', 0, u'b', u'c', u'd'};
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(s[0], u'a');
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[2], u'b');
    EXPECT_EQ(s[3], 0);
    SysFreeString(s);
}

TEST(Bstr, NullSourceWithLengthAllocatesRoom)
{
    BSTR s = SysAllocStringLen(nullptr, 5);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 5u);
    for (int i = 0; i < 5; ++i)
        s[i] = u'x';
    EXPECT_EQ(s[5], 0);
    SysFreeString(s);
}

TEST(Bstr, OddByteLength)
{
    BSTR s = SysAllocStringByteLen("abc", 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringByteLen(s), 3u);
    EXPECT_EQ(SysStringLen(s), 1u);
    EXPECT_EQ(std::memcmp(s, "abc", 3), 0);
    // The zero character follows the counted bytes.
    EXPECT_EQ(reinterpret_cast<const char *>(s)[3], 0);
    EXPECT_EQ(reinterpret_cast<const char *>(s)[4], 0);
    SysFreeString(s);
}

TEST(Bstr, NullHandling)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Bstr, LengthsThatOverflowThePrefixAreRefused)
{
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, UINT32_MAX), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, UINT32_MAX), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, UINT32_MAX - 5), nullptr);
}
