// Scripts loaded from a module file's resources.
#include "script_test_support.h"

#include <filesystem>
#include <fstream>

using namespace script_test;

namespace {

using ScriptResource = ScriptTest;

const std::u16string script_module = std::filesystem::path(SCRIPT_MODULE).u16string();

HRESULT apply(const std::u16string &module, WORD number, const char16_t *type, bool install)
{
    RegistryScript script;
    EXPECT_EQ(script.set_variable(u"Module", u"/unused"), S_OK);
    return script.apply_resource(module.c_str(), number, type, install);
}

TEST_F(ScriptResource, ResultsAndTheKeysEachResourceLeaves)
{
    const std::filesystem::path text_file = std::filesystem::temp_directory_path() / "script_resource_text.so";
    std::ofstream(text_file) << "HKCR { Written }";
    const struct {
        std::u16string module;
        WORD number;
        const char16_t *type;
        bool install;
        HRESULT result;
        const char *after;
    } rows[] = {
        {u"/nonexistent/module.so", 101, u"REGISTRY", true, HRESULT(0x80070002), ""},
        {script_module, 199, u"REGISTRY", true, HRESULT(0x80070716), ""},
        {script_module, 102, u"NOSUCHTYPE", true, HRESULT(0x80070715), ""},
        {text_file.u16string(), 101, u"REGISTRY", true, HRESULT(0x8007000B), ""},
        // The text ends at its first zero byte; the type is found without case.
        {script_module, 102, u"REGISTRY", true, S_OK, "BeforeZero @='kept'\n"},
        {script_module, 102, u"registry", false, S_OK, ""},
        {script_module, 103, u"REGISTRY", true, S_OK, ""},
        // A missing variable stops the run before it starts.
        {script_module, 104, u"REGISTRY", true, DISP_E_EXCEPTION, ""},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(apply(row.module, row.number, row.type, row.install), row.result) << row.number;
        EXPECT_EQ(registry_text(), row.after) << row.number;
    }
    std::filesystem::remove(text_file);
    RegistryScript script;
    EXPECT_EQ(script.apply_resource(nullptr, 101, u"REGISTRY", true), E_INVALIDARG);
}

}  // namespace
