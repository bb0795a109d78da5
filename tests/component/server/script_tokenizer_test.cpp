// Tokens: quoting, white space, buffer limits, and tokens read alike once read.
#include "script_test_support.h"

using namespace script_test;

namespace {

using Tokenizer = ScriptTest;

std::optional<Value> default_value(const std::string &key)
{
    return value_of(HKEY_CLASSES_ROOT, key, nullptr);
}

TEST_F(Tokenizer, QuotedTokensUndoubleApostrophesAndMayBeEmpty)
{
    ASSERT_EQ(install("HKCR { A = s 'It''s' B = s '' C = s '''' D = s 'a''''b' }"), S_OK);
    EXPECT_EQ(default_value("A"), text("It's"));
    EXPECT_EQ(default_value("B"), text(""));
    EXPECT_EQ(default_value("C"), text("'"));
    EXPECT_EQ(default_value("D"), text("a''b"));
}

TEST_F(Tokenizer, QuotedTokensHoldWhiteSpaceBracesAndEquals)
{
    ASSERT_EQ(install("HKCR { 'a b{=}\r\n\tc' = s 'x } { = y' }"), S_OK);
    EXPECT_EQ(default_value("a b{=}\r\n\tc"), text("x } { = y"));
    // A token ends at its closing apostrophe; the next begins right after it.
    ASSERT_EQ(install("HKCR { 'P'Q }"), S_OK);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "P"));
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "Q"));
}

TEST_F(Tokenizer, OnlySpaceTabAndLineEndsSeparateTokens)
{
    ASSERT_EQ(install("HKCR\t{\r\nX= A\vB\fC }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"X=", {}}, {"A\vB\fC", {}}}));
}

TEST_F(Tokenizer, QuotedTokensAreReadLikePlainOnes)
{
    // A quoted "}" closes the block; a quoted keyword is the keyword.
    ASSERT_EQ(install("HKCR { A '}' HKCR '{' 'NoRemove' K { Val 'v' = 's' 'x' } }"), S_OK);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "A"));
    EXPECT_EQ(value_of(HKEY_CLASSES_ROOT, "K", "v"), text("x"));
    ASSERT_EQ(uninstall("HKCR { 'NoRemove' K { Val 'v' = 's' 'x' } }"), S_OK);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "K"));
    EXPECT_FALSE(value_of(HKEY_CLASSES_ROOT, "K", "v").has_value());
}

TEST_F(Tokenizer, AQuotedTokenHoldsAtMost4094Bytes)
{
    const std::string longest(4094, 'q');
    ASSERT_EQ(install("HKCR { A = s '" + longest + "' }"), S_OK);
    EXPECT_EQ(default_value("A"), text(longest));

    // 4095 bytes: refused, and the block is rolled back.
    EXPECT_EQ(install("HKCR { B = s '" + longest + "q' }"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "B"));

    // A doubled apostrophe counts once.
    ASSERT_EQ(install("HKCR { C = s '" + std::string(4093, 'q') + "''' }"), S_OK);
    EXPECT_EQ(default_value("C"), text(std::string(4093, 'q') + "'"));
}

TEST_F(Tokenizer, ACharacterGoesWholeIntoATokenOrNotAtAll)
{
    // Two bytes fit after 4093; three would leave no room for the terminator.
    const std::string prefix(4093, 'q');
    ASSERT_EQ(install("HKCR { A = s '" + prefix + "\xc3\xa9' }"), S_OK);
    EXPECT_EQ(default_value("A"), text(prefix + "\xc3\xa9"));
    EXPECT_EQ(install("HKCR { B = s '" + prefix + "\xe2\x82\xac' }"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR { B = s " + std::string(4092, 'q') + "\xf0\x9f\x98\x80 }"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "B"));
}

TEST_F(Tokenizer, APlainTokenLongerThanItsBufferIsRefused)
{
    const std::string longest(4095, 'p');
    ASSERT_EQ(install("HKCR { A = s " + longest + " }"), S_OK);
    EXPECT_EQ(default_value("A"), text(longest));
    EXPECT_EQ(install("HKCR { B = s " + longest + "p }"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "B"));
    // Also where the removing pass only reads past it.
    EXPECT_EQ(uninstall("HKCR { Absent = s " + longest + "p }"), DISP_E_EXCEPTION);
}

TEST_F(Tokenizer, AValueNameLongerThanItsBufferIsRefused)
{
    const std::string longest(259, 'n');
    ASSERT_EQ(install("HKCR { K { Val " + longest + " = s 'fits' } }"), S_OK);
    EXPECT_EQ(value_of(HKEY_CLASSES_ROOT, "K", longest.c_str()), text("fits"));
    EXPECT_EQ(install("HKCR { L { Val " + longest + "n = s 'too long' } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR { L { Val '" + longest + "' = s 'too long' } }"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "L"));
}

TEST_F(Tokenizer, EndOfTextWhereATokenIsNeeded)
{
    EXPECT_EQ(install(" \t\r\n"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR { A = s 'never closed }"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR { A = s"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR { A {"), DISP_E_EXCEPTION);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
    EXPECT_EQ(install(""), S_OK);
    EXPECT_EQ(install("HKCR { } \r\n "), S_OK);
}

}  // namespace
