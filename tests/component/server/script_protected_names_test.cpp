// "CLSID" and "TYPELIB": never removed by ForceRemove, Delete or the forced removal.
#include "script_test_support.h"

using namespace script_test;

namespace {

using ProtectedNames = ScriptTest;

TEST_F(ProtectedNames, ForceRemoveAndDeleteLeaveThemAlone)
{
    make_key(HKEY_CLASSES_ROOT, "CLSID\\{Other}", {{"", "other class"}});
    make_key(HKEY_CLASSES_ROOT, "TypeLib\\{Lib}");
    make_key(HKEY_CLASSES_ROOT, "Plain\\Old");
    ASSERT_EQ(install("HKCR { ForceRemove CLSID { New } ForceRemove typelib Delete clsid Delete TYPELIB"
                      " ForceRemove Plain { New } }"),
              S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}},
                                                 {"CLSID", {}},
                                                 {"CLSID\\New", {}},
                                                 {"CLSID\\{Other}", {{"", text("other class")}}},
                                                 {"TypeLib", {}},
                                                 {"TypeLib\\{Lib}", {}},
                                                 {"Plain", {}},
                                                 {"Plain\\New", {}}}));
}

TEST_F(ProtectedNames, TheForcedRemovalSparesThem)
{
    // Each key keeps a subkey named like itself; only the unprotected one loses it.
    for (const char *name : {"CLSID", "TypeLib", "Plain"}) {
        make_key(HKEY_CLASSES_ROOT, std::string(name) + "\\" + name);
        make_key(HKEY_CLASSES_ROOT, std::string(name) + "\\Mine");
    }
    ASSERT_EQ(uninstall("HKCR { NoRemove CLSID { Mine } TypeLib { Mine } Plain { Mine } }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}},
                                                 {"CLSID", {}},
                                                 {"CLSID\\CLSID", {}},
                                                 {"TypeLib", {}},
                                                 {"TypeLib\\TypeLib", {}},
                                                 {"Plain", {}}}));
}

TEST_F(ProtectedNames, ThePlainDeleteDoesNotConsultThem)
{
    // Only "NoRemove" keeps an empty key: the protected names do not.
    make_key(HKEY_CLASSES_ROOT, "CLSID");
    make_key(HKEY_CLASSES_ROOT, "TypeLib", {{"", "x"}});
    ASSERT_EQ(uninstall("HKCR { CLSID TypeLib = s 'x' }"), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
}

}  // namespace
