// ANSI string helpers: lengths, comparison, bounded copies and character steps.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(AnsiText, LengthsAndComparison)
{
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA("a\xC3\xA9\xF0\x9F\x98\x80"), 7); // bytes, not characters
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrlenW(u"a\u00E9\U0001F600"), 4); // UTF-16 units
    struct Case {
        const char *a, *b;
        int expected;
    };
    // Punctuation sorts before digits before letters; hyphens and apostrophes
    // only decide between otherwise equal strings.
    const Case cases[] = {
        {"ForceRemove", "FORCEREMOVE", 0}, {"Val", "Value", -1}, {"value", "Val", 1}, {nullptr, nullptr, 0},
        {nullptr, "", -1}, {"", nullptr, 1}, {"_", "0", -1}, {"~", "a", -1}, {"9", "A", -1}, {"a[", "aZ", -1},
        {"a-z", "ab", 1}, {"it's", "its", 1}, {"co-op", "coop", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lstrcmpiA(c.a, c.b), c.expected) << (c.a ? c.a : "null") << " | " << (c.b ? c.b : "null");

    std::vector<std::string> words = {"coop", "co-op", "Co-Op", "co'op", "cop", "c-oop", "A-", "",
                                      "_x", "10", "9", "~", "b\xC3\xA9", "be", "BE", "-"};
    std::sort(words.begin(), words.end(),
              [](const std::string &a, const std::string &b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    for (std::size_t i = 0; i < words.size(); ++i)
        for (std::size_t j = i; j < words.size(); ++j) {
            EXPECT_LE(lstrcmpiA(words[i].c_str(), words[j].c_str()), 0) << words[i] << " | " << words[j];
            EXPECT_EQ(lstrcmpiA(words[i].c_str(), words[j].c_str()), -lstrcmpiA(words[j].c_str(), words[i].c_str()));
        }
}

TEST(AnsiText, BoundedCopy)
{
    char buffer[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
    EXPECT_EQ(lstrcpynA(buffer, "abcdefghij", 5), buffer);
    EXPECT_EQ(std::string(buffer, 6), std::string("abcd\0#", 6));
    EXPECT_EQ(lstrcpynA(buffer, "xyz", 1), buffer);
    EXPECT_EQ(buffer[0], '\0');
    buffer[0] = '#';
    EXPECT_EQ(lstrcpynA(buffer, "xyz", 0), buffer);
    EXPECT_EQ(buffer[0], '#') << "a zero-size destination must not be written";
    // The source has no terminator within reach; its storage ends after 4 bytes.
    const std::vector<char> source = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(lstrcpynA(buffer, source.data(), 5), buffer);
    EXPECT_STREQ(buffer, "wxyz");
    EXPECT_EQ(lstrcpynA(nullptr, "abc", 4), nullptr);
    EXPECT_EQ(lstrcpynA(buffer, nullptr, 4), nullptr);
    EXPECT_EQ(lstrcpynA(buffer, "abc", -1), nullptr);
}

TEST(AnsiText, CharNextStepsOverWholeOrSingleMalformedCharacters)
{
    const std::pair<std::string, std::vector<std::ptrdiff_t>> cases[] = {
        {"a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x98\x80" "b", {1, 3, 6, 10, 11}},
        {"\xE2\x82" "A", {1, 2, 3}},
        {"\xC0\x80\xED\xA0\x80", {1, 2, 3, 4, 5}},
        {"\x80\xC3\xA9", {1, 3}},
        {"x\xF0\x9F\x98", {1, 2, 3, 4}}, // cut short by the terminator
        {"\xC3", {1}},
    };
    for (const auto &[text, expected] : cases) {
        const std::vector<char> bytes(text.c_str(), text.c_str() + text.size() + 1); // exact size
        std::vector<std::ptrdiff_t> offsets;
        for (const char *p = bytes.data(); *p != '\0'; p = CharNextA(p))
            offsets.push_back(CharNextA(p) - bytes.data());
        EXPECT_EQ(offsets, expected);
        EXPECT_EQ(CharNextA(&bytes.back()), &bytes.back()) << "stepped over the terminator";
    }
    EXPECT_EQ(CharNextA(nullptr), nullptr);
}

} // namespace
