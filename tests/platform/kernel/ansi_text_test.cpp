// ANSI string helpers: lengths, comparison, bounded copies and character steps.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

TEST(AnsiText, LengthsAndComparison)
{
    EXPECT_EQ(lstrlenA(nullptr) + lstrlenW(nullptr), 0);
    // Punctuation sorts before digits before letters; hyphens and apostrophes
    // only decide between otherwise equal strings.
    const std::tuple<const char *, const char *, int> cases[] = {
        {"ForceRemove", "FORCEREMOVE", 0}, {"Val", "Value", -1}, {"value", "Val", 1}, {nullptr, nullptr, 0},
        {nullptr, "", -1}, {"", nullptr, 1}, {"_", "0", -1}, {"9", "A", -1}, {"a[", "aZ", -1},
        {"a-z", "ab", 1}, {"co-op", "coop", 1}, {"coop", "co'op", -1}, {"co'op", "co-op", -1}, {"b\xC3\xA9", "be", 1},
    };
    for (const auto &[a, b, expected] : cases)
        EXPECT_EQ(lstrcmpiA(a, b), expected) << (a ? a : "null") << " | " << (b ? b : "null");
}

TEST(AnsiText, BoundedCopy)
{
    char buffer[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
    EXPECT_EQ(lstrcpynA(buffer, "abcdefghij", 5), buffer);
    EXPECT_EQ(std::string(buffer, 6), std::string("abcd\0#", 6));
    EXPECT_EQ(lstrcpynA(buffer, "xyz", 0), buffer);
    EXPECT_EQ(buffer[0], 'a') << "a zero-size destination must not be written";
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
        {"a\xC3\xA9\xE6\x9D\xB1\xF0\x9F\x98\x80" "b", {1, 3, 6, 10, 11}}, {"\xE2\x82" "A", {1, 2, 3}},
        {"\xC0\x80\xED\xA0\x80", {1, 2, 3, 4, 5}}, {"\x80\xC3\xA9", {1, 3}},
        {"x\xF0\x9F\x98", {1, 2, 3, 4}}, {"\xC3", {1}}, // cut short by the terminator
    };
    for (const auto &[text, expected] : cases) {
        std::vector<std::ptrdiff_t> offsets;
        for (const char *p = text.c_str(); *p != '\0'; p = CharNextA(p))
            offsets.push_back(CharNextA(p) - text.c_str());
        EXPECT_EQ(offsets, expected);
    }
    EXPECT_EQ(CharNextA(nullptr), nullptr);
}
