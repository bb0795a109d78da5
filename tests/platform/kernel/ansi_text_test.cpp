// ANSI string helpers: lengths, comparison, bounded copies and character steps.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(AnsiText, LengthsCountUnitsAndTreatNullAsEmpty)
{
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA("a\xC3\xA9\xF0\x9F\x98\x80"), 7); // bytes, not characters
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrlenW(u"a\u00E9\U0001F600"), 4); // UTF-16 units
}

TEST(AnsiText, ComparisonIgnoresCaseAndFollowsTheWindowsOrder)
{
    struct Case {
        const char *a, *b;
        int expected;
    };
    const Case cases[] = {
        {"ForceRemove", "FORCEREMOVE", 0}, {"", "", 0}, {"Val", "Value", -1}, {"value", "Val", 1},
        {nullptr, nullptr, 0}, {nullptr, "", -1}, {"", nullptr, 1},
        // Punctuation before digits before letters, whatever the byte values.
        {"_", "0", -1}, {"~", "a", -1}, {"9", "A", -1}, {"a[", "aZ", -1},
        // Hyphens and apostrophes only decide between otherwise equal strings.
        {"a-z", "ab", 1}, {"it's", "its", 1}, {"co-op", "coop", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lstrcmpiA(c.a, c.b), c.expected) << (c.a ? c.a : "null") << " | " << (c.b ? c.b : "null");
}

TEST(AnsiText, ComparisonIsAConsistentOrder)
{
    std::vector<std::string> words = {"coop", "co-op", "Co-Op", "COOP", "co'op", "cop", "c-oop", "a", "A-",
                                      "", "_x", "1", "10", "9", "~", "b\xC3\xA9", "be", "BE", "zz", "-"};
    for (const auto &a : words) {
        for (const auto &b : words) {
            SCOPED_TRACE(a + " | " + b);
            const int forward = lstrcmpiA(a.c_str(), b.c_str());
            EXPECT_TRUE(forward >= -1 && forward <= 1);
            EXPECT_EQ(forward, -lstrcmpiA(b.c_str(), a.c_str()));
        }
    }
    std::sort(words.begin(), words.end(),
              [](const std::string &a, const std::string &b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    for (std::size_t i = 0; i + 1 < words.size(); ++i)
        for (std::size_t j = i + 1; j < words.size(); ++j)
            EXPECT_LE(lstrcmpiA(words[i].c_str(), words[j].c_str()), 0) << words[i] << " | " << words[j];
}

TEST(AnsiText, BoundedCopyTruncatesAndAlwaysTerminates)
{
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    EXPECT_EQ(lstrcpynA(buffer, "abcdefghij", 5), buffer);
    EXPECT_EQ(std::string(buffer, 6), std::string("abcd\0#", 6));

    EXPECT_EQ(lstrcpynA(buffer, "xy", 8), buffer);
    EXPECT_STREQ(buffer, "xy");

    EXPECT_EQ(lstrcpynA(buffer, "xyz", 1), buffer);
    EXPECT_EQ(buffer[0], '\0');

    buffer[0] = '#';
    EXPECT_EQ(lstrcpynA(buffer, "xyz", 0), buffer);
    EXPECT_EQ(buffer[0], '#') << "a zero-size destination must not be written";
}

TEST(AnsiText, BoundedCopyReadsNoFurtherThanItMayCopy)
{
    // The source has no terminator within reach; its storage ends after 4 bytes.
    const std::vector<char> source = {'w', 'x', 'y', 'z'};
    char buffer[8] = {};
    EXPECT_EQ(lstrcpynA(buffer, source.data(), 5), buffer);
    EXPECT_STREQ(buffer, "wxyz");
}

TEST(AnsiText, BoundedCopyRefusesMissingBuffers)
{
    char buffer[4] = {};
    EXPECT_EQ(lstrcpynA(nullptr, "abc", 4), nullptr);
    EXPECT_EQ(lstrcpynA(buffer, nullptr, 4), nullptr);
    EXPECT_EQ(lstrcpynA(buffer, "abc", -1), nullptr);
}

// Byte offsets at which CharNextA stops, walking from the start to the end.
std::vector<std::ptrdiff_t> steps(const std::vector<char> &text)
{
    std::vector<std::ptrdiff_t> offsets;
    const char *p = text.data();
    while (*p != '\0') {
        const char *next = CharNextA(p);
        EXPECT_GT(next, p);
        p = next;
        offsets.push_back(p - text.data());
    }
    EXPECT_EQ(CharNextA(p), p) << "stepped over the terminator";
    return offsets;
}

std::vector<char> terminated(std::string_view text)
{
    std::vector<char> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    return bytes;
}

TEST(AnsiText, CharNextStepsOverWholeCharacters)
{
    // a, é (2 bytes), 東 (3), 😀 (4), b
    EXPECT_EQ(steps(terminated("a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x98\x80" "b")),
              (std::vector<std::ptrdiff_t>{1, 3, 6, 10, 11}));
    EXPECT_EQ(CharNextA(""), std::string_view("").data());
    EXPECT_EQ(CharNextA(nullptr), nullptr);
}

TEST(AnsiText, CharNextCountsEachMalformedByteAsOneCharacter)
{
    EXPECT_EQ(steps(terminated("\xE2\x82" "A")), (std::vector<std::ptrdiff_t>{1, 2, 3}));
    EXPECT_EQ(steps(terminated("\xC0\x80\xED\xA0\x80")), (std::vector<std::ptrdiff_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(steps(terminated("\x80\xC3\xA9")), (std::vector<std::ptrdiff_t>{1, 3}));
    // A sequence cut short by the terminator never takes the terminator with it.
    EXPECT_EQ(steps(terminated("x\xF0\x9F\x98")), (std::vector<std::ptrdiff_t>{1, 2, 3, 4}));
    EXPECT_EQ(steps(terminated("\xC3")), (std::vector<std::ptrdiff_t>{1}));
}

} // namespace
