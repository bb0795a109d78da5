// Scripts loaded from a module file's resources.
#include "script_test_support.h"

#include <filesystem>
#include <fstream>

using namespace script_test;

namespace {

using ScriptResource = ScriptTest;

HRESULT apply(const std::u16string &module, WORD number, const char16_t *type, bool install)
{
    RegistryScript script;
    EXPECT_EQ(script.set_variable(u"Module", u"/unused"), S_OK);
    return script.apply_resource(module.c_str(), number, type, install);
}

TEST_F(ScriptResource, FailuresToLoadAreSystemErrorsAndTouchNothing)
{
    EXPECT_EQ(apply(u"/nonexistent/module.so", 101, u"REGISTRY", true), HRESULT(0x80070002));
    EXPECT_EQ(apply(script_module_path(), 199, u"REGISTRY", true), HRESULT(0x80070716));
    EXPECT_EQ(apply(script_module_path(), 101, u"NOSUCHTYPE", true), HRESULT(0x80070715));

    const std::string not_a_module = std::filesystem::temp_directory_path() / "script_resource_text.so";
    std::ofstream(not_a_module) << "HKCR { Written }";
    EXPECT_EQ(apply(std::u16string(not_a_module.begin(), not_a_module.end()), 101, u"REGISTRY", true),
              HRESULT(0x8007000B));
    std::filesystem::remove(not_a_module);

    RegistryScript script;
    EXPECT_EQ(script.apply_resource(nullptr, 101, u"REGISTRY", true), E_INVALIDARG);
    EXPECT_EQ(registry_text(), "");
}

TEST_F(ScriptResource, TheTextEndsAtItsFirstZeroByte)
{
    ASSERT_EQ(apply(script_module_path(), 102, u"REGISTRY", true), S_OK);
    EXPECT_EQ(registry_text(), "BeforeZero @='kept'\n");
    ASSERT_EQ(apply(script_module_path(), 102, u"registry", false), S_OK);
    EXPECT_EQ(registry_text(), "");
}

TEST_F(ScriptResource, AnEmptyScriptDoesNothing)
{
    EXPECT_EQ(apply(script_module_path(), 103, u"REGISTRY", true), S_OK);
    EXPECT_EQ(apply(script_module_path(), 103, u"REGISTRY", false), S_OK);
    EXPECT_EQ(registry_text(), "");
}

TEST_F(ScriptResource, AMissingVariableStopsTheRunBeforeItStarts)
{
    EXPECT_EQ(apply(script_module_path(), 104, u"REGISTRY", true), DISP_E_EXCEPTION);
    EXPECT_EQ(registry_text(), "");
}

}  // namespace
