#include "script_test_support.h"

#include "server/module_heap.h"

#include <sstream>

using namespace morvane::test;

namespace script_test {

namespace {

std::string prefixed(const std::string &lines, const std::string &prefix)
{
    std::istringstream in(lines);
    std::string result;
    for (std::string line; std::getline(in, line);)
        result += prefix + line + "\n";
    return result;
}

void set_string(HKEY key, const std::string &name, const std::string &text)
{
    ASSERT_EQ(RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE *>(text.c_str()), DWORD(text.size() + 1)),
              ERROR_SUCCESS);
}

}  // namespace

HRESULT run(const std::string &script, bool install,
            const std::vector<std::pair<std::u16string, std::u16string>> &variables)
{
    RegistryScript registry_script;
    for (const auto &[name, value] : variables)
        EXPECT_EQ(registry_script.set_variable(name.c_str(), value.c_str()), S_OK);
    ScriptParser parser(registry_script);
    LPSTR expanded = nullptr;
    HRESULT result = parser.expand_variables(script.c_str(), &expanded);
    if (SUCCEEDED(result))
        result = parser.run_script(expanded, install);
    return result;
}

void make_keys(const std::string &lines)
{
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        std::size_t at = line.find(" @");
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, line.substr(0, at).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS)
            << line;
        while (at != std::string::npos) {
            const std::size_t next = line.find(" @", at + 2);
            const std::string item = line.substr(at + 2, next - at - 2);
            const std::size_t equals = item.find("='");
            ASSERT_TRUE(equals != std::string::npos && item.back() == '\'') << line;
            set_string(key, item.substr(0, equals), item.substr(equals + 2, item.size() - equals - 3));
            at = next;
        }
        RegCloseKey(key);
    }
}

std::string registry_text()
{
    return tree_text(registry_tree(HKEY_CLASSES_ROOT)) +
           prefixed(tree_text(registry_tree(HKEY_CURRENT_USER)), "HKCU\\") +
           prefixed(tree_text(registry_tree(HKEY_LOCAL_MACHINE)), "HKLM\\");
}

std::u16string script_module_path()
{
    const std::string path = SCRIPT_MODULE;
    return std::u16string(path.begin(), path.end());
}

void ScriptTest::SetUp()
{
    registry_ = std::make_unique<ScratchRegistry>();
    ASSERT_TRUE(module_heap_setup());
}

void ScriptTest::TearDown()
{
    module_heap_teardown();
    registry_.reset();
}

}  // namespace script_test
