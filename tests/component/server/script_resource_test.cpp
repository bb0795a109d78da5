// Scripts loaded from a module file's resources, the component's own among them.
#include "script_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace script_test;

namespace {

using ScriptResource = ScriptTest;

const std::u16string script_module = std::filesystem::path(SCRIPT_MODULE).u16string();

HRESULT apply(const std::u16string &module, WORD number, const char16_t *type, bool install,
              const char16_t *module_variable = u"/unused")
{
    RegistryScript script;
    EXPECT_EQ(script.set_variable(u"Module", module_variable), S_OK);
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
        {script_module, 101, u"NOSUCHTYPE", true, HRESULT(0x80070715), ""},
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

std::string registered(const std::string &path)
{
    const std::string key = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";
    return "CLSID\n" + key + " @='CoMorvane Class'\n" + key + "\\InprocServer32 @='" + path +
           "' @ThreadingModel='Both'\n" + key + "\\ProgID @='Morvane.CoMorvane.1'\n" + key + "\\Programmable\n" +
           key + "\\TypeLib @='{CABD0863-DC3C-4E64-A27D-D5B832E8947B}'\n" + key +
           "\\VersionIndependentProgID @='Morvane.CoMorvane'\n"
           "CLSID\\{11111111-2222-3333-4444-555555555555} @='Another class'\n"
           "Morvane.CoMorvane @='CoMorvane Class'\n"
           "Morvane.CoMorvane.1 @='CoMorvane Class'\n"
           "Morvane.CoMorvane.1\\CLSID @='{0200236D-46C7-4C75-A2A1-8FEFAF32B081}'\n"
           "Morvane.CoMorvane\\CLSID @='{0200236D-46C7-4C75-A2A1-8FEFAF32B081}'\n"
           "Morvane.CoMorvane\\CurVer @='Morvane.CoMorvane.1'\n";
}

// A repeated registration replaces the class key wholesale; unregistering
// restores what was there, and a second time changes nothing.
TEST_F(ScriptResource, TheComponentsScriptRegistersOnceHoweverOften)
{
    std::ifstream in(SCRIPT_SOURCES "/../../../../component/resources/morvane.rgs", std::ios::binary);
    const std::string committed{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(committed.substr(0, 8), "HKCR\r\n{\r");
    EXPECT_NE(committed.find("\r\n\t\t\tInprocServer32 = s '%MODULE%'\r\n"), std::string::npos);

    make_keys("CLSID\\{11111111-2222-3333-4444-555555555555} @='Another class'\n");
    ASSERT_EQ(apply(script_module, 101, u"REGISTRY", true, u"/old/Morvane.so"), S_OK);
    EXPECT_EQ(registry_text(), registered("/old/Morvane.so"));
    make_keys("CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\Programmable\\Stale\n");
    ASSERT_EQ(apply(script_module, 101, u"REGISTRY", true, u"/new/Morvane.so"), S_OK);
    EXPECT_EQ(registry_text(), registered("/new/Morvane.so"));
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(apply(script_module, 101, u"REGISTRY", false), S_OK);
        EXPECT_EQ(registry_text(), "CLSID\nCLSID\\{11111111-2222-3333-4444-555555555555} @='Another class'\n");
    }
    // CLSID stays after unregistering even where registration created it.
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
    ASSERT_EQ(apply(script_module, 101, u"REGISTRY", true), S_OK);
    ASSERT_EQ(apply(script_module, 101, u"REGISTRY", false), S_OK);
    EXPECT_EQ(registry_text(), "CLSID\n");
}

}  // namespace
