// The removing pass on a registry that matches the script, and on one that does not.
#include "script_test_support.h"

using namespace script_test;

namespace {

using Remove = ScriptTest;

const Tree empty_root = {{"", {}}};

TEST_F(Remove, DeletesAKeyWithOnlyItsDefaultValueDirectly)
{
    make_key(HKEY_CLASSES_ROOT, "K", {{"", "x"}});
    ASSERT_EQ(uninstall("HKCR { K = s 'x' }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), empty_root);
}

TEST_F(Remove, UndoesWhatInstallingWrote)
{
    const std::string script = "HKCR { K = s 'x' { val V = s 'v' S = s 's' { T } val W = d 1 } L }";
    ASSERT_EQ(install(script), S_OK);
    ASSERT_EQ(uninstall(script), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), empty_root);
}

TEST_F(Remove, AKeyWithUnlistedSubkeysStays)
{
    make_key(HKEY_CLASSES_ROOT, "K", {{"V", "v"}});
    make_key(HKEY_CLASSES_ROOT, "K\\Listed");
    make_key(HKEY_CLASSES_ROOT, "K\\Unlisted", {{"", "kept"}});
    ASSERT_EQ(uninstall("HKCR { K { val V = s 'v' Listed } After }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT),
              (Tree{{"", {}}, {"K", {}}, {"K\\Unlisted", {{"", text("kept")}}}}));
}

TEST_F(Remove, TheForcedRemovalTakesTheSubkeyNamedLikeTheKey)
{
    // What stays under a key is removed only from a subkey that bears the key's own
    // name, "NoRemove" notwithstanding.
    for (const char *prefix : {"", "NoRemove "}) {
        make_key(HKEY_CLASSES_ROOT, "K\\K\\Deeper", {{"", "x"}});
        make_key(HKEY_CLASSES_ROOT, "K\\Other");
        make_key(HKEY_CLASSES_ROOT, "K\\Listed");
        ASSERT_EQ(uninstall(std::string("HKCR { ") + prefix + "K { Listed } }"), S_OK) << prefix;
        EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"K", {}}, {"K\\Other", {}}})) << prefix;
        ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "K"), ERROR_SUCCESS);
    }
}

TEST_F(Remove, NoRemoveKeepsEveryLaterKeyOfItsBlock)
{
    make_key(HKEY_CLASSES_ROOT, "Before");
    make_key(HKEY_CLASSES_ROOT, "A", {{"V", "v"}, {"W", "w"}});
    make_key(HKEY_CLASSES_ROOT, "B");
    make_key(HKEY_CLASSES_ROOT, "Outer\\Inner");
    ASSERT_EQ(uninstall("HKCR { Before NoRemove A { val V = s 'v' } B Outer { Inner } }"), S_OK);
    // Values are still removed, and a nested block starts without the flag.
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT),
              (Tree{{"", {}}, {"A", {{"W", text("w")}}}, {"B", {}}, {"Outer", {}}}));
}

TEST_F(Remove, DeleteAndForceRemoveEntriesAreRemovedLikeOthers)
{
    make_key(HKEY_CLASSES_ROOT, "F\\Sub");
    make_key(HKEY_CLASSES_ROOT, "D", {{"", "x"}});
    ASSERT_EQ(uninstall("HKCR { ForceRemove F = s 'f' { Sub } Delete D = s 'x' }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), empty_root);
}

TEST_F(Remove, ABlockAfterDeleteOrValIsRefused)
{
    make_key(HKEY_CLASSES_ROOT, "D", {{"V", "v"}});
    EXPECT_EQ(uninstall("HKCR { Delete D { val V = s 'v' } }"), DISP_E_EXCEPTION);
    make_key(HKEY_CLASSES_ROOT, "E");
    EXPECT_EQ(uninstall("HKCR { Delete E { X } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(uninstall("HKCR { Absent { Delete X { Y } } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(uninstall("HKCR { K { val V = s 'x' { Y } } }"), DISP_E_EXCEPTION);
}

TEST_F(Remove, ABlockTheRegistryDoesNotReflectIsReadPast)
{
    // A has only its default value although its entry lists a value and a subkey:
    // it is deleted at once, its block is read past, and B is still read as an entry.
    make_key(HKEY_CLASSES_ROOT, "A", {{"", "x"}});
    make_key(HKEY_CLASSES_ROOT, "B", {{"", "y"}});
    make_key(HKEY_CLASSES_ROOT, "C");
    ASSERT_EQ(uninstall("HKCR { A = s 'x' { val V = s 'v' Sub { Deeper } } B = s 'y' C }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), empty_root);
}

TEST_F(Remove, ContentsTheScriptDoesNotListDoNotShiftTheEntries)
{
    // A holds a named value its entry gives no block for, B a subkey: the token after
    // A's entry is B's name and must be read as such.
    make_key(HKEY_CLASSES_ROOT, "A", {{"", "x"}, {"Unlisted", "u"}});
    make_key(HKEY_CLASSES_ROOT, "B\\C");
    make_key(HKEY_CLASSES_ROOT, "D\\Unlisted");
    make_key(HKEY_CLASSES_ROOT, "E");
    ASSERT_EQ(uninstall("HKCR { A = s 'x' B = s 'y' { C } D E }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"D", {}}, {"D\\Unlisted", {}}}));
}

TEST_F(Remove, ARootBlockWithoutEntriesChangesNothing)
{
    make_key(HKEY_CLASSES_ROOT, "K");
    ASSERT_EQ(uninstall("HKCR { }"), S_OK);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "K"));
}

}  // namespace
