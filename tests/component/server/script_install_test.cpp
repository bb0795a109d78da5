// The installing pass: keys, values of every type, root names and entry forms.
#include "script_test_support.h"

using namespace script_test;

namespace {

using Install = ScriptTest;

TEST_F(Install, CreatesNestedKeysWithDefaultAndNamedValues)
{
    ASSERT_EQ(install("HKCR\r\n{\r\n\tOuter = s 'outer'\r\n\t{\r\n\t\tInner\r\n\t\t{\r\n"
                      "\t\t\tval Name = s 'named'\r\n\t\t\tLeaf = s 'leaf'\r\n\t\t}\r\n\t}\r\n}\r\n"),
              S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{
                                               {"", {}},
                                               {"Outer", {{"", text("outer")}}},
                                               {"Outer\\Inner", {{"Name", text("named")}}},
                                               {"Outer\\Inner\\Leaf", {{"", text("leaf")}}},
                                           }));
}

TEST_F(Install, KeepsWhatIsThereAndOverwritesListedValues)
{
    make_key(HKEY_CLASSES_ROOT, "K", {{"", "old"}, {"Other", "kept"}});
    make_key(HKEY_CLASSES_ROOT, "K\\Child");
    ASSERT_EQ(install("HKCR { K = s 'new' }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT, "K"),
              (Tree{{"", {{"", text("new")}, {"Other", text("kept")}}}, {"Child", {}}}));
}

TEST_F(Install, WritesEachValueType)
{
    ASSERT_EQ(install("HKCR { K {"
                      " val S1 = s 'text' val S2 = S 'upper'"
                      " val D1 = d '4294967295' val D2 = D 17"
                      " val B1 = b '0aFf' val B2 = B zz val B3 = b '' val B4 = b 'A1b2C3'"
                      " } }"),
              S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT, "K"),
              (Tree{{"",
                     {{"S1", text("text")},
                      {"S2", text("upper")},
                      {"D1", number(4294967295u)},
                      {"D2", number(17)},
                      {"B1", bytes({0x0A, 0xFF})},
                      {"B2", bytes({0x00})},
                      {"B3", bytes({})},
                      {"B4", bytes({0xA1, 0xB2, 0xC3})}}}}));
}

TEST_F(Install, ANumberTheConversionRefusesWritesNothing)
{
    ASSERT_EQ(install("HKCR { K { val Bad = d 'not a number' val Big = d 4294967296 val Good = d 5 } }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT, "K"), (Tree{{"", {{"Good", number(5)}}}}));
}

TEST_F(Install, AnOddNumberOfDigitsFailsAndRollsBack)
{
    EXPECT_EQ(install("HKCR { K = s 'x' { val B = b 'abc' } }"), E_FAIL);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "K"));
}

TEST_F(Install, AnUnknownTypeLetterFailsAndRollsBack)
{
    EXPECT_EQ(install("HKCR { K = x 'value' }"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR { K = sz 'value' }"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "K"));
}

TEST_F(Install, KeyNamesNameOneLevelButValueNamesMayHoldBackslashes)
{
    EXPECT_EQ(install("HKCR { A\\B }"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR { 'A\\B' = s 'x' }"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "A"));
    ASSERT_EQ(install("HKCR { K { val 'dir\\file' = s 'x' } }"), S_OK);
    EXPECT_EQ(value_of(HKEY_CLASSES_ROOT, "K", "dir\\file"), text("x"));
}

TEST_F(Install, OnlyTheOneCharacterBraceOpensABlock)
{
    // After an assignment, a key named like an identifier in braces is the next entry.
    ASSERT_EQ(install("HKCR { A = s 'x' {1111} = s 'y' {2222} }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}},
                                                 {"A", {{"", text("x")}}},
                                                 {"{1111}", {{"", text("y")}}},
                                                 {"{2222}", {}}}));
}

TEST_F(Install, RootNamesAndTheirBlocks)
{
    ASSERT_EQ(install("hkcr { A } HKEY_CLASSES_ROOT { B } HKCU { C } HKEY_LOCAL_MACHINE { D }"), S_OK);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "A"));
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "B"));
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, "C"));
    EXPECT_TRUE(key_exists(HKEY_LOCAL_MACHINE, "D"));

    // A name outside the table fails before anything of its block is read;
    // earlier root blocks stay applied.
    EXPECT_EQ(install("HKCR { E } HKXX { F }"), DISP_E_EXCEPTION);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "E"));
    EXPECT_EQ(install("G { H }"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "H"));
    EXPECT_EQ(install("HKCR I"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "I"));
    // Any token beginning with a brace opens a root block.
    ASSERT_EQ(install("HKCR {opening J }"), S_OK);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "J"));
}

TEST_F(Install, ForceRemoveReplacesTheWholeKey)
{
    make_key(HKEY_CLASSES_ROOT, "K", {{"", "old"}, {"Stale", "value"}});
    make_key(HKEY_CLASSES_ROOT, "K\\Old\\Deep", {{"", "deep"}});
    ASSERT_EQ(install("HKCR { ForceRemove K = s 'new' { Fresh } }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT, "K"), (Tree{{"", {{"", text("new")}}}, {"Fresh", {}}}));
    // An absent key is simply created.
    ASSERT_EQ(install("HKCR { ForceRemove New }"), S_OK);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "New"));
}

TEST_F(Install, DeleteRemovesAKeyTreeWithoutCreatingIt)
{
    make_key(HKEY_CLASSES_ROOT, "Gone\\Sub", {{"", "x"}});
    make_key(HKEY_CLASSES_ROOT, "Stays");
    ASSERT_EQ(install("HKCR { Delete Gone = s 'ignored' Delete Absent Stays }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"Stays", {}}}));
}

TEST_F(Install, ABlockAfterDeleteOrValIsRefused)
{
    make_key(HKEY_CLASSES_ROOT, "Old");
    EXPECT_EQ(install("HKCR { K Delete Old { Sub } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
    // The roll-back stops where the installation stopped and removes K as well.
    EXPECT_EQ(install("HKCR { K { val V = s 'x' { Sub } } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
}

TEST_F(Install, AKeyThatCanNeitherBeOpenedNorCreatedFailsTheRun)
{
    // The registry holds no key name longer than 255 bytes.
    EXPECT_EQ(install("HKCR { First = s 'x' " + std::string(300, 'k') + " }"), DISP_E_EXCEPTION);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "First"));
}

std::string nested(int levels)
{
    std::string script = "HKCR {";
    for (int i = 0; i < levels; ++i)
        script += " k {";
    for (int i = 0; i < levels; ++i)
        script += " }";
    return script + " }";
}

TEST_F(Install, NestingIsBoundedWhereTheRegistryEnds)
{
    // 511 levels of blocks below the root block: keys 511 levels deep.
    ASSERT_EQ(install(nested(511)), S_OK);
    std::string deepest = "k";
    for (int i = 1; i < 511; ++i)
        deepest += "\\k";
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, deepest));
    ASSERT_EQ(uninstall(nested(511)), S_OK);
    EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, "k"));

    // Deeper scripts are refused instead of exhausting the stack.
    EXPECT_EQ(install(nested(20000)), DISP_E_EXCEPTION);
    EXPECT_EQ(uninstall(nested(20000)), DISP_E_EXCEPTION);
}

}  // namespace
