// Length-prefixed strings: the byte-length prefix, the zeros after the text, the refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>

TEST(Bstr, PrefixHoldsTheByteLengthAndTwoZeroBytesFollowTheText)
{
    const OLECHAR embedded[] = {u'a', 0, u'b', u'c', u'd'};
    // How each was made; its bytes: what the prefix counts, then the two zero bytes that follow.
    const std::tuple<const char *, BSTR, std::string> cases[] = {
        {"SysAllocString", SysAllocString(u"Mv"), std::string("M\0v\0\0\0", 6)},
        {"empty", SysAllocString(u""), std::string("\0\0", 2)},
        {"explicit length keeps zeros and cuts", SysAllocStringLen(embedded, 3), std::string("a\0\0\0b\0\0\0", 8)},
        {"odd byte length, a zero inside", SysAllocStringByteLen("o\0x", 3), std::string("o\0x\0\0", 5)},
        {"no source: zeros", SysAllocStringLen(nullptr, 3), std::string(8, '\0')},
    };
    for (const auto &[how, made, bytes] : cases) {
        SCOPED_TRACE(how);
        ASSERT_NE(made, nullptr);
        std::uint32_t prefix;
        std::memcpy(&prefix, reinterpret_cast<const char *>(made) - sizeof prefix, sizeof prefix);
        EXPECT_EQ(prefix, bytes.size() - 2);
        EXPECT_EQ(SysStringByteLen(made), bytes.size() - 2);
        EXPECT_EQ(SysStringLen(made), (bytes.size() - 2) / 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(made), bytes.size()), bytes);
        SysFreeString(made);
    }
}

TEST(Bstr, NullsAndOverlongLengthsAreRefused)
{
    SysFreeString(nullptr);
    EXPECT_EQ(SysStringLen(nullptr) + SysStringByteLen(nullptr), 0u);
    for (BSTR refused : {SysAllocString(nullptr), SysAllocStringLen(nullptr, 0x80000000u),
                         SysAllocStringLen(nullptr, UINT32_MAX), SysAllocStringByteLen(nullptr, UINT32_MAX),
                         SysAllocStringByteLen(nullptr, UINT32_MAX - 5)})
        EXPECT_EQ(refused, nullptr);
}
