// Conversions between UTF-16 and the ANSI code page (UTF-8).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

// Converts text both ways, or gives "<failed>" (reads past the end are the fuzz target's).
static std::u16string widen(std::string_view in, DWORD flags = 0, UINT code_page = CP_UTF8)
{
    const int needed = MultiByteToWideChar(code_page, flags, in.data(), int(in.size()), nullptr, 0);
    std::u16string out(std::size_t(needed), u'\0');
    return needed && MultiByteToWideChar(code_page, flags, in.data(), int(in.size()), out.data(), needed) == needed
               ? out : u"<failed>";
}

static std::string narrow(std::u16string_view in, DWORD flags = 0, UINT code_page = CP_UTF8)
{
    const int needed = WideCharToMultiByte(code_page, flags, in.data(), int(in.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(needed), '\0');
    return needed && WideCharToMultiByte(code_page, flags, in.data(), int(in.size()), out.data(), needed, nullptr,
                                         nullptr) == needed ? out : "<failed>";
}

TEST(CodePage, WellFormedTextRoundTripsAndMalformedTextIsReplacedOrRefused)
{
    // The compiler's own encodings of the same literals are the reference.
    const std::pair<std::string_view, std::u16string_view> samples[] = {
        // The ends of each encoded length's range.
        {"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF",
         u"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF"},
        {std::string_view("embedded\0zero", 13), std::u16string_view(u"embedded\0zero", 13)},
    };
    for (const auto &[utf8, utf16] : samples)
        for (const UINT code_page : {UINT(CP_UTF8), UINT(CP_ACP)}) {
            EXPECT_EQ(widen(utf8, MB_ERR_INVALID_CHARS, code_page), utf16);
            EXPECT_EQ(narrow(utf16, WC_ERR_INVALID_CHARS, code_page), utf8);
        }
    // Each maximal ill-formed part becomes one U+FFFD; what follows it is kept.
    const std::pair<std::string_view, std::u16string_view> bytes_cases[] = {
        {"\xC0\x80", u"\uFFFD\uFFFD"}, {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // surrogate, too big
        {"\xF5\x80", u"\uFFFD\uFFFD"}, {"\x80\xBFx", u"\uFFFD\uFFFDx"}, {"a\xE2\x82", u"a\uFFFD"},
        {"\xF0\x9F\x98z\xF0\x9F", u"\uFFFDz\uFFFD"}, {"\xE2\x82\xE2\x82\xAC", u"\uFFFD\u20AC"},
    };
    for (const auto &[bytes, replaced] : bytes_cases) {
        EXPECT_EQ(widen(bytes), replaced);
        EXPECT_EQ(widen(bytes, MB_ERR_INVALID_CHARS, CP_ACP), u"<failed>");
    }
    const std::pair<std::u16string, std::string> unit_cases[] = {
        {{u'a', 0xD800, u'b'}, "a\xEF\xBF\xBD" "b"}, {{0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{u'x', 0xDBFF}, "x\xEF\xBF\xBD"}, {{0xD800, 0xD800, 0xDC00}, "\xEF\xBF\xBD\xF0\x90\x80\x80"},
    };
    for (const auto &[units, replaced] : unit_cases) {
        EXPECT_EQ(narrow(units, 0, CP_ACP), replaced);
        EXPECT_EQ(narrow(units, WC_ERR_INVALID_CHARS), "<failed>");
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    }
}

// One byte short is refused with nothing written past the given size (the fuzz target
// checks the other direction and exact sizes).
TEST(CodePage, AShortDestinationIsRefused)
{
    char bytes[3] = {'#', '#', '#'};
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20AC", 1, bytes, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(bytes[2], '#');
}

TEST(CodePage, BadArgumentsAreRefused)
{
    WCHAR wide[8] = {};
    char bytes[8] = {};
    BOOL used = FALSE;
    const DWORD parameter = ERROR_INVALID_PARAMETER, flags = ERROR_INVALID_FLAGS;
    // Each call's result is the error it leaves, or 0 when it was accepted.
    auto to_wide = [](UINT code_page, DWORD flag, LPCCH in, int length, LPWSTR out, int size) {
        SetLastError(0);
        return MultiByteToWideChar(code_page, flag, in, length, out, size) == 0 ? GetLastError() : 0;
    };
    auto to_bytes = [](UINT page, DWORD flag, LPCWCH in, int length, LPSTR out, int size, LPCCH fallback = nullptr,
                       LPBOOL used_default = nullptr) {
        SetLastError(0);
        return WideCharToMultiByte(page, flag, in, length, out, size, fallback, used_default) == 0 ? GetLastError() : 0;
    };
    const std::pair<DWORD, DWORD> cases[] = {
        {to_wide(1252, 0, "abc", 3, wide, 8), parameter}, {to_wide(CP_UTF8, 0, nullptr, 3, wide, 8), parameter},
        {to_wide(CP_UTF8, 0, "abc", 0, wide, 8), parameter}, {to_wide(CP_UTF8, 0, "abc", -2, wide, 8), parameter},
        {to_wide(CP_UTF8, 0, "abc", 3, wide, -1), parameter}, {to_wide(CP_UTF8, 0, "abc", 3, nullptr, 8), parameter},
        {to_wide(CP_UTF8, 0, bytes, 4, reinterpret_cast<LPWSTR>(bytes), 4), parameter}, // overlapping
        {to_wide(CP_UTF8, MB_PRECOMPOSED, "abc", 3, wide, 8), flags},
        {to_wide(CP_ACP, 0x2 /* composite */, "abc", 3, wide, 8), flags},
        {to_wide(CP_ACP, MB_PRECOMPOSED, "abc", 3, wide, 8), 0}, {to_bytes(1252, 0, u"abc", 3, bytes, 8), parameter},
        {to_bytes(CP_UTF8, 0, u"abc", 3, nullptr, 8), parameter},
        {to_bytes(CP_UTF8, 0, wide, 2, reinterpret_cast<LPSTR>(wide + 1), 4), parameter}, // overlapping
        {to_bytes(CP_UTF8, 0, u"abc", 3, bytes, 8, "?"), parameter},
        {to_bytes(CP_ACP, 0, u"abc", 3, bytes, 8, nullptr, &used), parameter},
        {to_bytes(CP_UTF8, 0x400 /* no best fit */, u"abc", 3, bytes, 8), flags},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.first, c.second) << "row " << &c - cases;
}
