// Conversions between UTF-16 and the ANSI code page (UTF-8).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

// Converts through an exact-size heap buffer of the input, so that reading one
// byte too far is caught by the address sanitizer.
std::u16string widen(std::string_view text, DWORD flags = 0, UINT code_page = CP_UTF8)
{
    const std::vector<char> input(text.begin(), text.end());
    const int size = static_cast<int>(input.size());
    const int needed = MultiByteToWideChar(code_page, flags, input.data(), size, nullptr, 0);
    if (needed == 0)
        return u"<failed>";
    std::u16string output(static_cast<std::size_t>(needed), u'\0');
    EXPECT_EQ(MultiByteToWideChar(code_page, flags, input.data(), size, output.data(), needed), needed);
    return output;
}

std::string narrow(std::u16string_view text, DWORD flags = 0, UINT code_page = CP_UTF8)
{
    const std::vector<WCHAR> input(text.begin(), text.end());
    const int size = static_cast<int>(input.size());
    const int needed = WideCharToMultiByte(code_page, flags, input.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed == 0)
        return "<failed>";
    std::string output(static_cast<std::size_t>(needed), '\0');
    EXPECT_EQ(WideCharToMultiByte(code_page, flags, input.data(), size, output.data(), needed, nullptr, nullptr),
              needed);
    return output;
}

TEST(CodePage, WellFormedTextRoundTripsThroughBothCodePages)
{
    // The compiler's own encodings of the same literals are the reference.
    const std::pair<std::string_view, std::u16string_view> samples[] = {
        {"Grüße aus Ørsted – 東京 ✓", u"Grüße aus Ørsted – 東京 ✓"},
        {"emoji 😀, last plane \U0010FFFF", u"emoji 😀, last plane \U0010FFFF"},
        {"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000",
         u"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000"},
        {std::string_view("embedded\0zero", 13), std::u16string_view(u"embedded\0zero", 13)},
    };
    for (const auto &[utf8, utf16] : samples)
        for (const UINT code_page : {UINT(CP_UTF8), UINT(CP_ACP)}) {
            EXPECT_EQ(widen(utf8, MB_ERR_INVALID_CHARS, code_page), utf16);
            EXPECT_EQ(narrow(utf16, WC_ERR_INVALID_CHARS, code_page), utf8);
        }
}

TEST(CodePage, MalformedTextIsReplacedOrRefused)
{
    // Each maximal ill-formed part becomes one U+FFFD; what follows it is kept.
    const std::pair<std::string_view, std::u16string_view> bytes_cases[] = {
        {"\xC0\x80", u"\uFFFD\uFFFD"},                         // overlong NUL
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},               // overlong '/'
        {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},     // overlong '/'
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},               // surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},     // above U+10FFFF
        {"\xF5\x80", u"\uFFFD\uFFFD"},                         // never a lead byte
        {"\x80\xBFx", u"\uFFFD\uFFFDx"},                       // stray continuations
        {"a\xE2\x82", u"a\uFFFD"},                             // truncated at the end
        {"\xF0\x9F\x98z\xF0\x9F", u"\uFFFDz\uFFFD"},
        {"\xE2\x82\xE2\x82\xAC", u"\uFFFD\u20AC"},             // truncated, then whole
        {"\xC3", u"\uFFFD"},
    };
    for (const auto &[bytes, replaced] : bytes_cases) {
        EXPECT_EQ(widen(bytes), replaced);
        for (const UINT code_page : {UINT(CP_UTF8), UINT(CP_ACP)}) {
            EXPECT_EQ(widen(bytes, MB_ERR_INVALID_CHARS, code_page), u"<failed>");
            EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
        }
    }
    const std::pair<std::u16string, std::string> unit_cases[] = {
        {{u'a', 0xD800, u'b'}, "a\xEF\xBF\xBD" "b"},
        {{0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{u'x', 0xDBFF}, "x\xEF\xBF\xBD"},
        {{0xD800, 0xD800, 0xDC00}, "\xEF\xBF\xBD\xF0\x90\x80\x80"},
    };
    for (const auto &[units, replaced] : unit_cases) {
        EXPECT_EQ(narrow(units, 0, CP_ACP), replaced);
        EXPECT_EQ(narrow(units, WC_ERR_INVALID_CHARS), "<failed>");
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    }
}

TEST(CodePage, LengthsAndOutputSizes)
{
    WCHAR wide[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE2\x82\xAC", 2, wide, 4), 1); // a cut sequence
    EXPECT_EQ(wide[0], 0xFFFD);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\xC3\xA9", -1, wide, 4), 3); // -1 takes the terminator
    EXPECT_EQ(std::u16string_view(wide, 4), std::u16string_view(u"a\u00E9\0#", 4));
    char bytes[5] = {'#', '#', '#', '#', '#'};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u00E9", -1, bytes, 5, nullptr, nullptr), 4);
    EXPECT_EQ(std::string_view(bytes, 5), std::string_view("a\xC3\xA9\0#", 5));
    const WCHAR pair[] = {0xD83D, 0xDE00};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, pair, 1, bytes, 5, nullptr, nullptr), 3); // a cut pair
    EXPECT_EQ(std::string(bytes, 3), "\xEF\xBF\xBD");

    const char *text = "\xE2\x82\xAC\xF0\x9F\x98\x80"; // 3 wide units
    std::fill(std::begin(wide), std::end(wide), u'#');
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 7, wide, 2), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(wide[2], u'#') << "wrote past the given size";
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 7, wide, 3), 3);
    EXPECT_EQ(wide[3], u'#');
    std::fill(std::begin(bytes), std::end(bytes), '#');
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20AC", 1, bytes, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(bytes[2], '#') << "wrote past the given size";
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20AC", 1, bytes, 3, nullptr, nullptr), 3);
    EXPECT_EQ(bytes[3], '#');
}

TEST(CodePage, BadArgumentsAreRefused)
{
    WCHAR wide[8] = {};
    char bytes[8] = {};
    BOOL used = FALSE;
    const DWORD parameter = ERROR_INVALID_PARAMETER, flags = ERROR_INVALID_FLAGS;
    // The error a refused call leaves, or 0 when the call succeeded.
    auto to_wide = [](UINT code_page, DWORD flag, LPCCH source, int length, LPWSTR target, int size) {
        SetLastError(0);
        return MultiByteToWideChar(code_page, flag, source, length, target, size) == 0 ? GetLastError() : 0;
    };
    auto to_bytes = [](UINT code_page, DWORD flag, LPCWCH source, int length, LPSTR target, int size,
                       LPCCH default_char = nullptr, LPBOOL used_default = nullptr) {
        SetLastError(0);
        return WideCharToMultiByte(code_page, flag, source, length, target, size, default_char, used_default) == 0
                   ? GetLastError()
                   : 0;
    };
    EXPECT_EQ(to_wide(1252, 0, "abc", 3, wide, 8), parameter);
    EXPECT_EQ(to_wide(CP_OEMCP, 0, "abc", 3, wide, 8), parameter);
    EXPECT_EQ(to_wide(CP_UTF8, 0, nullptr, 3, wide, 8), parameter);
    EXPECT_EQ(to_wide(CP_UTF8, 0, "abc", 0, wide, 8), parameter);
    EXPECT_EQ(to_wide(CP_UTF8, 0, "abc", -2, wide, 8), parameter);
    EXPECT_EQ(to_wide(CP_UTF8, 0, "abc", 3, wide, -1), parameter);
    EXPECT_EQ(to_wide(CP_UTF8, 0, "abc", 3, nullptr, 8), parameter);
    EXPECT_EQ(to_wide(CP_UTF8, 0, bytes, 4, reinterpret_cast<LPWSTR>(bytes), 4), parameter); // overlapping
    EXPECT_EQ(to_wide(CP_UTF8, MB_PRECOMPOSED, "abc", 3, wide, 8), flags);
    EXPECT_EQ(to_wide(CP_ACP, 0x2 /* composite */, "abc", 3, wide, 8), flags);
    EXPECT_EQ(to_wide(CP_ACP, MB_PRECOMPOSED, "abc", 3, wide, 8), 0u);
    EXPECT_EQ(to_bytes(1252, 0, u"abc", 3, bytes, 8), parameter);
    EXPECT_EQ(to_bytes(CP_UTF8, 0, nullptr, 3, bytes, 8), parameter);
    EXPECT_EQ(to_bytes(CP_UTF8, 0, u"abc", 0, bytes, 8), parameter);
    EXPECT_EQ(to_bytes(CP_UTF8, 0, u"abc", -5, bytes, 8), parameter);
    EXPECT_EQ(to_bytes(CP_UTF8, 0, u"abc", 3, bytes, -1), parameter);
    EXPECT_EQ(to_bytes(CP_UTF8, 0, u"abc", 3, nullptr, 8), parameter);
    EXPECT_EQ(to_bytes(CP_UTF8, 0, wide, 2, reinterpret_cast<LPSTR>(wide + 1), 4), parameter);
    EXPECT_EQ(to_bytes(CP_UTF8, 0, u"abc", 3, bytes, 8, "?"), parameter);
    EXPECT_EQ(to_bytes(CP_ACP, 0, u"abc", 3, bytes, 8, nullptr, &used), parameter);
    EXPECT_EQ(to_bytes(CP_UTF8, 0x400 /* no best fit */, u"abc", 3, bytes, 8), flags);
}

} // namespace
