// Installations refused part-way by the form of the script: the roll-back
// must undo everything they did, however the refused part is nested.
#include "script_test_support.h"

#include <string>

using namespace script_test;

namespace {

using RefusalRollback = ScriptTest;

std::string nested(int depth)
{
    std::string script = "HKCR { Outer = s 'o' ";
    for (int i = 0; i < depth; ++i)
        script += "N" + std::to_string(i) + " { ";
    for (int i = 0; i < depth; ++i)
        script += "} ";
    return script + "}";
}

TEST_F(RefusalRollback, LeavesTheRegistryAsItWas)
{
    make_key(HKEY_CLASSES_ROOT, "Existing", {{"", "old"}, {"named", "kept"}});
    make_key(HKEY_CLASSES_ROOT, "Existing\\Child");
    const Tree before = snapshot(HKEY_CLASSES_ROOT);
    const struct {
        const char *form;
        std::string script;
        HRESULT result;
    } cases[] = {
        {"block after a value", "HKCR { K2 { val a = s 'x' { B } } }", DISP_E_EXCEPTION},
        {"block after a value, deeper", "HKCR { K1 { K2 = s 'd' { val a = s 'x' { B { C } } } } }",
         DISP_E_EXCEPTION},
        {"block after Delete with a value", "HKCR { K2 { Delete D = s 'x' { B } } }", DISP_E_EXCEPTION},
        {"block after Delete", "HKCR { K2 { Sub Delete D { B } } }", DISP_E_EXCEPTION},
        {"nesting one beyond the limit", nested(512), DISP_E_EXCEPTION},
        {"nesting far beyond the limit", nested(600), DISP_E_EXCEPTION},
        {"block never closed", "HKCR { A = s 'x' B { C", DISP_E_EXCEPTION},
        {"value name missing its '='", "HKCR { K2 { val a s 'x' } }", DISP_E_EXCEPTION},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.form);
        EXPECT_EQ(install(c.script), c.result);
        EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), before);
    }
}

TEST_F(RefusalRollback, NestingUpToTheLimitInstallsAndRemoves)
{
    ASSERT_EQ(install(nested(511)), S_OK);
    EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, "N0\\N1"));
    EXPECT_EQ(uninstall(nested(511)), S_OK);
    EXPECT_EQ(snapshot(HKEY_CLASSES_ROOT), (Tree{{"", {}}}));
}

}  // namespace
