// Length-prefixed strings: the byte-length prefix, the zeros after the text, the refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

TEST(Bstr, PrefixHoldsTheByteLengthAndTwoZeroBytesFollowTheText)
{
    const OLECHAR embedded[] = {u'a', 0, u'b', u'c', u'd'};
    const struct {
        const char *how;
        BSTR made;
        std::string bytes; // what the prefix counts, then the two zero bytes that follow
    } cases[] = {
        {"SysAllocString", SysAllocString(u"Mv"), std::string("M\0v\0\0\0", 6)},
        {"empty", SysAllocString(u""), std::string("\0\0", 2)},
        {"explicit length keeps zeros and cuts", SysAllocStringLen(embedded, 3), std::string("a\0\0\0b\0\0\0", 8)},
        {"odd byte length, a zero inside", SysAllocStringByteLen("o\0x", 3), std::string("o\0x\0\0", 5)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        ASSERT_NE(c.made, nullptr);
        std::uint32_t prefix;
        std::memcpy(&prefix, reinterpret_cast<const char *>(c.made) - sizeof prefix, sizeof prefix);
        EXPECT_EQ(prefix, c.bytes.size() - 2);
        EXPECT_EQ(SysStringByteLen(c.made), c.bytes.size() - 2);
        EXPECT_EQ(SysStringLen(c.made), (c.bytes.size() - 2) / 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(c.made), c.bytes.size()), c.bytes);
        SysFreeString(c.made);
    }
}

TEST(Bstr, NullSourceGivesRoomAndNullsAndOverlongLengthsAreRefused)
{
    BSTR room = SysAllocStringLen(nullptr, 5);
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(SysStringLen(room), 5u);
    std::memset(room, 'x', 10); // all five characters are writable
    EXPECT_EQ(room[5], 0);
    SysFreeString(room);
    SysFreeString(nullptr);
    EXPECT_EQ(SysStringLen(nullptr) + SysStringByteLen(nullptr), 0u);
    for (BSTR refused : {SysAllocString(nullptr), SysAllocStringLen(nullptr, 0x80000000u),
                         SysAllocStringLen(nullptr, UINT32_MAX), SysAllocStringByteLen(nullptr, UINT32_MAX),
                         SysAllocStringByteLen(nullptr, UINT32_MAX - 5)})
        EXPECT_EQ(refused, nullptr);
}
