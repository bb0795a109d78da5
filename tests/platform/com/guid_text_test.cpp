// Identifiers to braced text and back, and the refusal of malformed text.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {
const GUID tracker_class = {0x0200236D, 0x46C7, 0x4C75, {0xA2, 0xA1, 0x8F, 0xEF, 0xAF, 0x32, 0xB0, 0x81}};
const GUID odd_bytes = {0xFEDCBA98, 0x0001, 0xF00D, {0x00, 0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0, 0xFF}};

std::u16string text_of(const GUID &g)
{
    OLECHAR buffer[CHARS_IN_GUID];
    const int n = StringFromGUID2(g, buffer, CHARS_IN_GUID);
    EXPECT_EQ(n, CHARS_IN_GUID);
    return std::u16string(buffer);
}
} // namespace

TEST(GuidText, FormatsBracedUpperCase)
{
    EXPECT_EQ(text_of(tracker_class), u"{0200236D-46C7-4C75-A2A1-8FEFAF32B081}");
    EXPECT_EQ(text_of(odd_bytes), u"{FEDCBA98-0001-F00D-0010-2030A0B0C0FF}");
    EXPECT_EQ(text_of(GUID_NULL), u"{00000000-0000-0000-0000-000000000000}");
}

TEST(GuidText, BufferTooSmallWritesNothing)
{
    OLECHAR buffer[CHARS_IN_GUID];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(StringFromGUID2(tracker_class, buffer, CHARS_IN_GUID - 1), 0);
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(StringFromGUID2(tracker_class, nullptr, CHARS_IN_GUID), 0);
    EXPECT_EQ(StringFromGUID2(tracker_class, buffer, 100), CHARS_IN_GUID);
}

TEST(GuidText, RoundTripsThroughBothParsers)
{
    for (const GUID &g : {tracker_class, odd_bytes, IID_IErrorInfo, IID_IUnknown}) {
        const std::u16string text = text_of(g);
        CLSID clsid;
        IID iid;
        ASSERT_EQ(CLSIDFromString(text.c_str(), &clsid), S_OK);
        ASSERT_EQ(IIDFromString(text.c_str(), &iid), S_OK);
        EXPECT_TRUE(IsEqualGUID(clsid, g));
        EXPECT_TRUE(IsEqualGUID(iid, g));
    }
}

TEST(GuidText, LowerCaseDigitsAreRead)
{
    CLSID clsid;
    ASSERT_EQ(CLSIDFromString(u"{0200236d-46c7-4c75-a2a1-8fefaf32b081}", &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, tracker_class));
}

TEST(GuidText, MalformedTextIsRefusedByEachParserWithItsCode)
{
    const std::vector<std::u16string> bad = {
        u"",
        u"{",
        u"0200236D-46C7-4C75-A2A1-8FEFAF32B081",      // no braces
        u"{0200236D-46C7-4C75-A2A1-8FEFAF32B081",     // no closing brace
        u"{0200236D-46C7-4C75-A2A1-8FEFAF32B081}x",   // trailing text
        u"{0200236D-46C7-4C75-A2A18FEFAF32B081}",     // missing dash
        u"{0200236D_46C7-4C75-A2A1-8FEFAF32B081}",    // wrong separator
        u"{0200236G-46C7-4C75-A2A1-8FEFAF32B081}",    // not a digit
        u"{0200236D-46C7-4C75-A2A1-8FEFAF32B08}",     // one digit short
        u"{ 200236D-46C7-4C75-A2A1-8FEFAF32B081}",    // blank
        u"Morvane.CoMorvane.1",                       // a ProgID is not looked up
    };
    for (const auto &text : bad) {
        CLSID clsid = tracker_class;
        IID iid = tracker_class;
        EXPECT_EQ(CLSIDFromString(text.c_str(), &clsid), CO_E_CLASSSTRING);
        EXPECT_EQ(IIDFromString(text.c_str(), &iid), E_INVALIDARG);
        EXPECT_TRUE(IsEqualGUID(clsid, GUID_NULL));
        EXPECT_TRUE(IsEqualGUID(iid, GUID_NULL));
    }
}

TEST(GuidText, ParsingStopsAtTheEndOfAShortString)
{
    // Each prefix lives in a block of exactly its own size, so a read past the
    // zero is caught by the sanitizer build.
    const std::u16string full = u"{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";
    for (std::size_t n = 0; n < full.size(); ++n) {
        std::vector<OLECHAR> exact(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        exact.push_back(0);
        exact.shrink_to_fit();
        CLSID clsid;
        EXPECT_EQ(CLSIDFromString(exact.data(), &clsid), CO_E_CLASSSTRING) << n;
    }
}

TEST(GuidText, NullArguments)
{
    CLSID clsid = tracker_class;
    EXPECT_EQ(CLSIDFromString(nullptr, &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, GUID_NULL));
    EXPECT_EQ(CLSIDFromString(u"{0200236D-46C7-4C75-A2A1-8FEFAF32B081}", nullptr), E_INVALIDARG);
    EXPECT_EQ(IIDFromString(u"{0200236D-46C7-4C75-A2A1-8FEFAF32B081}", nullptr), E_INVALIDARG);
}
