// A failed installation is rolled back by the removing pass over its root block.
#include "script_test_support.h"

using namespace script_test;

namespace {

using Rollback = ScriptTest;

TEST_F(Rollback, RemovesTheFailingBlocksKeysWhoeverWroteThem)
{
    make_key(HKEY_CLASSES_ROOT, "Existing", {{"", "old"}});
    make_key(HKEY_CLASSES_ROOT, "Unlisted");
    EXPECT_EQ(install("HKCR { Existing = s 'new' Created { val V = s 'v' Sub } Bad = q 'x' Later }"),
              DISP_E_EXCEPTION);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"Unlisted", {}}}));
}

TEST_F(Rollback, ReturnsTheInstallationsFailure)
{
    EXPECT_EQ(install("HKCR { A { val B = b 'abc' } }"), E_FAIL);
    EXPECT_EQ(install("HKCR { A { val 'B' } }"), DISP_E_EXCEPTION);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
}

TEST_F(Rollback, NoRemoveKeysSurvive)
{
    EXPECT_EQ(install("HKCR { NoRemove Keep { Child } Bad\\Name }"), DISP_E_EXCEPTION);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}, {"Keep", {}}}));
}

TEST_F(Rollback, EarlierRootBlocksStayApplied)
{
    EXPECT_EQ(install("HKCU { Done = s 'd' } HKCR { Partial { Inner } Bad = s } "), DISP_E_EXCEPTION);
    EXPECT_EQ(value_of(HKEY_CURRENT_USER, "Done", nullptr), text("d"));
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
}

TEST_F(Rollback, ABlockThatIsNeverClosedIsRolledBackWhole)
{
    // The roll-back stops where the installation did and closes the open blocks there.
    EXPECT_EQ(install("HKCR { A = s 'x' B { C"), DISP_E_EXCEPTION);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
}

TEST_F(Rollback, ForceRemovedKeysAreNotBroughtBack)
{
    // The roll-back removes; what "ForceRemove" deleted before the failure stays deleted.
    make_key(HKEY_CLASSES_ROOT, "Replaced\\Old");
    EXPECT_EQ(install("HKCR { ForceRemove Replaced { New } Bad = b '1' }"), E_FAIL);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
}

}  // namespace
