// Scripts loaded from a module file's resources.
#include "script_test_support.h"

#include <filesystem>
#include <fstream>

using namespace script_test;

namespace {

using ScriptResource = ScriptTest;

TEST_F(ScriptResource, ResultsAndTheKeysEachResourceLeaves)
{
    const std::string text_file = std::filesystem::temp_directory_path() / "script_resource_text.so";
    std::ofstream(text_file) << "HKCR { Written }";
    const std::u16string module = script_module_path();
    const struct {
        std::u16string module;
        WORD number;
        const char16_t *type;
        bool install;
        HRESULT result;
        const char *after;
    } rows[] = {
        {u"/nonexistent/module.so", 101, u"REGISTRY", true, HRESULT(0x80070002), ""},
        {module, 199, u"REGISTRY", true, HRESULT(0x80070716), ""},
        {module, 101, u"NOSUCHTYPE", true, HRESULT(0x80070715), ""},
        {std::u16string(text_file.begin(), text_file.end()), 101, u"REGISTRY", true, HRESULT(0x8007000B), ""},
        // The text ends at its first zero byte; the type is found without case.
        {module, 102, u"REGISTRY", true, S_OK, "BeforeZero @='kept'\n"},
        {module, 102, u"registry", false, S_OK, ""},
        {module, 103, u"REGISTRY", true, S_OK, ""},
        {module, 103, u"REGISTRY", false, S_OK, ""},
        // A missing variable stops the run before it starts.
        {module, 104, u"REGISTRY", true, DISP_E_EXCEPTION, ""},
    };
    for (const auto &row : rows) {
        RegistryScript script;
        EXPECT_EQ(script.set_variable(u"Module", u"/unused"), S_OK);
        EXPECT_EQ(script.apply_resource(row.module.c_str(), row.number, row.type, row.install), row.result)
            << row.number;
        EXPECT_EQ(registry_text(), row.after) << row.number;
    }
    std::filesystem::remove(text_file);
    RegistryScript script;
    EXPECT_EQ(script.apply_resource(nullptr, 101, u"REGISTRY", true), E_INVALIDARG);
}

}  // namespace
