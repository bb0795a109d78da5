// Identifiers to braced text and back, and the refusal of malformed text.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const GUID tracker_class = {0x0200236D, 0x46C7, 0x4C75, {0xA2, 0xA1, 0x8F, 0xEF, 0xAF, 0x32, 0xB0, 0x81}};
const std::u16string tracker_text = u"{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

// Formatting is checked wherever identifiers become registry keys; here its buffer size, reading both
// cases, and each refusal and its code (reading past the end is the fuzz target's to catch).
TEST(GuidText, FormatsIntoARoomyBufferReadsBothCasesAndRefusesMalformedText)
{
    OLECHAR buffer[CHARS_IN_GUID + 1] = {u'#'};
    EXPECT_EQ(StringFromGUID2(tracker_class, buffer, CHARS_IN_GUID - 1), 0);
    EXPECT_EQ(buffer[0], u'#') << "a buffer too small is not written";
    EXPECT_EQ(StringFromGUID2(tracker_class, buffer, CHARS_IN_GUID), CHARS_IN_GUID);
    EXPECT_EQ(buffer, tracker_text);
    GUID clsid, iid;
    ASSERT_EQ(CLSIDFromString(u"{0200236d-46c7-4c75-a2a1-8fefaf32b081}", &clsid), S_OK);
    ASSERT_EQ(IIDFromString(tracker_text.c_str(), &iid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, tracker_class) && IsEqualGUID(iid, tracker_class));
    const std::u16string bad[] = {
        u"0200236D-46C7-4C75-A2A1-8FEFAF32B081",    // no braces
        tracker_text + u"x",                        // trailing text
        u"{0200236D-46C7-4C75-A2A18FEFAF32B081}",   // missing dash
        u"{0200236G-46C7-4C75-A2A1-8FEFAF32B081}",  // not a digit
        u"{0200236D-46C7-4C75-A2A1-8FEFAF32B081)",  // wrong closing brace
        u"{0200236D-46C7",                          // cut short
    };
    for (const auto &text : bad) {
        clsid = iid = tracker_class;
        EXPECT_EQ(CLSIDFromString(text.c_str(), &clsid), CO_E_CLASSSTRING);
        EXPECT_EQ(IIDFromString(text.c_str(), &iid), E_INVALIDARG);
        EXPECT_TRUE(IsEqualGUID(clsid, GUID_NULL) && IsEqualGUID(iid, GUID_NULL));
    }
    clsid = tracker_class;
    EXPECT_EQ(CLSIDFromString(nullptr, &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, GUID_NULL));
    EXPECT_EQ(CLSIDFromString(tracker_text.c_str(), nullptr), E_INVALIDARG);
    EXPECT_EQ(IIDFromString(tracker_text.c_str(), nullptr), E_INVALIDARG);
    EXPECT_EQ(StringFromGUID2(tracker_class, nullptr, CHARS_IN_GUID), 0);
}

} // namespace
