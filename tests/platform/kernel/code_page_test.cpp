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

struct Sample {
    std::string_view utf8;
    std::u16string_view utf16;
};

// The compiler's own encodings of the same literals are the reference.
constexpr Sample round_trip_samples[] = {
    {"plain ASCII text", u"plain ASCII text"},
    {"Grüße aus Ørsted – naïve café", u"Grüße aus Ørsted – naïve café"},
    {"東京 ✓ Ελλάδα", u"東京 ✓ Ελλάδα"},
    {"emoji 😀, clef 𝄞, last plane \U0010FFFF", u"emoji 😀, clef 𝄞, last plane \U0010FFFF"},
    {"edges \u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFD\uFFFF\U00010000",
     u"edges \u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFD\uFFFF\U00010000"},
    {std::string_view("embedded\0zero", 13), std::u16string_view(u"embedded\0zero", 13)},
};

TEST(CodePage, WellFormedTextRoundTripsThroughBothCodePages)
{
    for (const Sample &sample : round_trip_samples) {
        for (const UINT code_page : {UINT(CP_UTF8), UINT(CP_ACP)}) {
            SCOPED_TRACE(sample.utf8);
            EXPECT_EQ(widen(sample.utf8, 0, code_page), sample.utf16);
            EXPECT_EQ(narrow(sample.utf16, 0, code_page), sample.utf8);
            EXPECT_EQ(widen(sample.utf8, MB_ERR_INVALID_CHARS, code_page), sample.utf16);
            EXPECT_EQ(narrow(sample.utf16, WC_ERR_INVALID_CHARS, code_page), sample.utf8);
        }
    }
}

struct Malformed {
    std::string_view bytes;
    std::u16string_view replaced;
};

// Each maximal ill-formed part becomes one U+FFFD; what follows it is kept.
constexpr Malformed malformed_utf8[] = {
    {"\xC0\x80", u"\uFFFD\uFFFD"},                         // overlong NUL
    {"\xC1\xBF", u"\uFFFD\uFFFD"},                         // overlong DEL
    {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},               // overlong '/'
    {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},     // overlong '/'
    {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},               // high surrogate
    {"\xED\xA0\xBD\xED\xB8\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"}, // encoded pair
    {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},     // above U+10FFFF
    {"\xF5\x80", u"\uFFFD\uFFFD"},                         // never a lead byte
    {"\x80\xBFx", u"\uFFFD\uFFFDx"},                       // stray continuations
    {"\xFE\xFF", u"\uFFFD\uFFFD"},
    {"a\xE2\x82", u"a\uFFFD"},                             // truncated at the end
    {"\xE2\x82z", u"\uFFFDz"},                             // truncated before ASCII
    {"\xF0\x9F\x98z\xF0\x9F", u"\uFFFDz\uFFFD"},
    {"\xE2\x82\xE2\x82\xAC", u"\uFFFD\u20AC"},             // truncated, then whole
    {"\xC3", u"\uFFFD"},
};

TEST(CodePage, MalformedUtf8IsReplacedOrRefused)
{
    for (const Malformed &input : malformed_utf8) {
        SCOPED_TRACE(testing::PrintToString(std::string(input.bytes)));
        EXPECT_EQ(widen(input.bytes), input.replaced);

        const std::vector<char> bytes(input.bytes.begin(), input.bytes.end());
        WCHAR buffer[16];
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), buffer, 16),
                  0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), nullptr, 0),
                  0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    }
}

TEST(CodePage, ALengthThatCutsASequenceDoesNotReadOnward)
{
    const char euro[] = "\xE2\x82\xAC";
    WCHAR out[4] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, euro, 2, out, 4), 1);
    EXPECT_EQ(out[0], 0xFFFD);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, euro, 3, out, 4), 1);
    EXPECT_EQ(out[0], 0x20AC);

    const WCHAR pair[] = {0xD83D, 0xDE00, 0};
    char bytes[8] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, pair, 1, bytes, 8, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(bytes, 3), "\xEF\xBF\xBD");
}

TEST(CodePage, UnpairedSurrogatesAreReplacedOrRefused)
{
    const std::u16string cases[] = {
        {u'a', 0xD800, u'b'}, {0xDC00}, {0xDC00, 0xD800}, {u'x', 0xDBFF}, {0xD800, 0xD800, 0xDC00},
    };
    const std::string expected[] = {
        "a\xEF\xBF\xBD" "b",
        "\xEF\xBF\xBD",
        "\xEF\xBF\xBD\xEF\xBF\xBD",
        "x\xEF\xBF\xBD",
        "\xEF\xBF\xBD\xF0\x90\x80\x80",
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(narrow(cases[i]), expected[i]);
        EXPECT_EQ(narrow(cases[i], 0, CP_ACP), expected[i]);
        SetLastError(0);
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, cases[i].data(), int(cases[i].size()),
                                      nullptr, 0, nullptr, nullptr),
                  0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    }
}

TEST(CodePage, MinusOneLengthIncludesTheTerminator)
{
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\xC3\xA9", -1, nullptr, 0), 3);
    WCHAR wide[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "a\xC3\xA9", -1, wide, 4), 3);
    EXPECT_EQ(std::u16string_view(wide, 4), std::u16string_view(u"a\u00E9\0#", 4));

    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u00E9", -1, nullptr, 0, nullptr, nullptr), 4);
    char bytes[5] = {'#', '#', '#', '#', '#'};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u00E9", -1, bytes, 5, nullptr, nullptr), 4);
    EXPECT_EQ(std::string_view(bytes, 5), std::string_view("a\xC3\xA9\0#", 5));

    // With an explicit length nothing is terminated.
    WCHAR unterminated[3] = {u'#', u'#', u'#'};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", 2, unterminated, 3), 2);
    EXPECT_EQ(unterminated[2], u'#');
}

TEST(CodePage, OutputSizesFollowTheBufferRules)
{
    const char *text = "\xE2\x82\xAC\xF0\x9F\x98\x80"; // 1 + 2 wide units, 7 bytes
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 7, nullptr, 0), 3);

    WCHAR wide[4] = {u'#', u'#', u'#', u'#'};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 7, wide, 2), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(wide[2], u'#') << "wrote past the given size";
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 7, wide, 3), 3);
    EXPECT_EQ(wide[3], u'#');

    const WCHAR euro[] = {0x20AC};
    char bytes[4] = {'#', '#', '#', '#'};
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, euro, 1, bytes, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(bytes[2], '#') << "wrote past the given size";
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, euro, 1, bytes, 3, nullptr, nullptr), 3);
    EXPECT_EQ(bytes[3], '#');
}

void expect_multibyte_failure(DWORD error, UINT code_page, DWORD flags, LPCCH source, int length, LPWSTR target,
                              int size)
{
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(code_page, flags, source, length, target, size), 0);
    EXPECT_EQ(GetLastError(), error);
}

void expect_wide_failure(DWORD error, UINT code_page, DWORD flags, LPCWCH source, int length, LPSTR target,
                         int size, LPCCH default_char = nullptr, LPBOOL used_default = nullptr)
{
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(code_page, flags, source, length, target, size, default_char, used_default), 0);
    EXPECT_EQ(GetLastError(), error);
}

TEST(CodePage, BadArgumentsAreRefused)
{
    WCHAR wide[8] = {};
    char bytes[8] = {};
    BOOL used = FALSE;
    const DWORD parameter = ERROR_INVALID_PARAMETER;
    const DWORD flags = ERROR_INVALID_FLAGS;

    expect_multibyte_failure(parameter, 1252, 0, "abc", 3, wide, 8);
    expect_multibyte_failure(parameter, CP_OEMCP, 0, "abc", 3, wide, 8);
    expect_multibyte_failure(parameter, CP_UTF8, 0, nullptr, 3, wide, 8);
    expect_multibyte_failure(parameter, CP_UTF8, 0, "abc", 0, wide, 8);
    expect_multibyte_failure(parameter, CP_UTF8, 0, "abc", -2, wide, 8);
    expect_multibyte_failure(parameter, CP_UTF8, 0, "abc", 3, wide, -1);
    expect_multibyte_failure(parameter, CP_UTF8, 0, "abc", 3, nullptr, 8);
    expect_multibyte_failure(parameter, CP_UTF8, 0, bytes, 4, reinterpret_cast<LPWSTR>(bytes), 4);
    expect_multibyte_failure(flags, CP_UTF8, MB_PRECOMPOSED, "abc", 3, wide, 8);
    expect_multibyte_failure(flags, CP_ACP, 0x2 /* composite */, "abc", 3, wide, 8);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abc", 3, wide, 8), 3);

    expect_wide_failure(parameter, 1252, 0, u"abc", 3, bytes, 8);
    expect_wide_failure(parameter, CP_UTF8, 0, nullptr, 3, bytes, 8);
    expect_wide_failure(parameter, CP_UTF8, 0, u"abc", 0, bytes, 8);
    expect_wide_failure(parameter, CP_UTF8, 0, u"abc", -5, bytes, 8);
    expect_wide_failure(parameter, CP_UTF8, 0, u"abc", 3, bytes, -1);
    expect_wide_failure(parameter, CP_UTF8, 0, u"abc", 3, nullptr, 8);
    expect_wide_failure(parameter, CP_UTF8, 0, wide, 2, reinterpret_cast<LPSTR>(wide + 1), 4);
    expect_wide_failure(parameter, CP_UTF8, 0, u"abc", 3, bytes, 8, "?");
    expect_wide_failure(parameter, CP_ACP, 0, u"abc", 3, bytes, 8, nullptr, &used);
    expect_wide_failure(flags, CP_UTF8, 0x400 /* no best fit */, u"abc", 3, bytes, 8);
}

} // namespace
