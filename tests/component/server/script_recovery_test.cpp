// Recovery: how the removing pass walks over keys that are absent.
#include "script_test_support.h"

using namespace script_test;

namespace {

using Recovery = ScriptTest;

TEST_F(Recovery, RemovingTwiceTouchesNothingTheSecondTime)
{
    const std::string script = "HKCR { K = s 'x' { val V = s 'v' S { T } } L { M } }";
    make_key(HKEY_CLASSES_ROOT, "Unrelated", {{"", "u"}});
    ASSERT_EQ(install(script), S_OK);
    ASSERT_EQ(uninstall(script), S_OK);
    const Tree after_first = snapshot(HKEY_CLASSES_ROOT);
    EXPECT_EQ(after_first, (Tree{{"", {}}, {"Unrelated", {{"", text("u")}}}}));
    ASSERT_EQ(uninstall(script), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), after_first);
}

TEST_F(Recovery, AnAbsentKeysBlockIsWalkedUntouched)
{
    // Keys named like the absent key's entries exist elsewhere: none is touched.
    make_key(HKEY_CLASSES_ROOT, "X", {{"V", "v"}});
    make_key(HKEY_CLASSES_ROOT, "After");
    ASSERT_EQ(uninstall("HKCR { Absent { X { val V = s 'v' } } After }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"X", {{"V", text("v")}}}}));
}

TEST_F(Recovery, AfterAnAbsentKeyWithoutBlockEntriesAreReadPastUntilABlock)
{
    // P is read past; Q's block ends the recovery but Q itself is left untouched; R
    // is removed again.
    make_key(HKEY_CLASSES_ROOT, "P");
    make_key(HKEY_CLASSES_ROOT, "Q", {{"V", "v"}});
    make_key(HKEY_CLASSES_ROOT, "R");
    ASSERT_EQ(uninstall("HKCR { Absent = s 'a' P Q = s 'q' { val V = s 'v' } R }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"P", {}}, {"Q", {{"V", text("v")}}}}));
}

TEST_F(Recovery, RecoveryEndsWithTheBlockItBeganIn)
{
    make_key(HKEY_CLASSES_ROOT, "Outer\\Inner");
    make_key(HKEY_CLASSES_ROOT, "After");
    ASSERT_EQ(uninstall("HKCR { Outer { Absent Inner } After }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"Outer", {}}, {"Outer\\Inner", {}}}));
}

TEST_F(Recovery, KeysNamedLikeIdentifiersAreEntriesNotBlocks)
{
    // In recovery too, only the one-character brace opens a block.
    make_key(HKEY_CLASSES_ROOT, "{1111}");
    make_key(HKEY_CLASSES_ROOT, "Q\\Sub");
    make_key(HKEY_CLASSES_ROOT, "R");
    ASSERT_EQ(uninstall("HKCR { Absent = s 'a' {1111} = s 'x' Q { Sub } R }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"{1111}", {}}, {"Q", {}}, {"Q\\Sub", {}}}));
}

}  // namespace
