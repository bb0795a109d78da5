#include "script_test_support.h"

#include "server/module_heap.h"

#include <sstream>

using namespace morvane::test;

namespace script_test {

HRESULT run(const std::string &script, bool install)
{
    RegistryScript registry_script;
    ScriptParser parser(registry_script);
    LPSTR expanded = nullptr;
    HRESULT result = parser.expand_variables(script.c_str(), &expanded);
    return SUCCEEDED(result) ? parser.run_script(expanded, install) : result;
}

void make_keys(const std::string &lines)
{
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        std::size_t at = line.find(" @");
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, line.substr(0, at).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS) << line;
        for (std::size_t next; at != std::string::npos; at = next) {
            next = line.find(" @", at + 2);
            const std::string item = line.substr(at + 2, next - at - 2);
            const std::size_t equals = item.find("='");
            const std::string name = item.substr(0, equals), text = item.substr(equals + 2, item.size() - equals - 3);
            ASSERT_EQ(RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE *>(text.c_str()), DWORD(text.size() + 1)),
                      ERROR_SUCCESS) << line;
        }
        RegCloseKey(key);
    }
}

std::string registry_text()
{
    std::string text = tree_text(registry_tree(HKEY_CLASSES_ROOT));
    for (const auto &[root, prefix] : {std::pair{HKEY_CURRENT_USER, "HKCU\\"}, std::pair{HKEY_LOCAL_MACHINE, "HKLM\\"}}) {
        std::istringstream in(tree_text(registry_tree(root)));
        for (std::string line; std::getline(in, line);)
            text += prefix + line + "\n";
    }
    return text;
}

void ScriptTest::SetUp()
{
    registry_.emplace();
    ASSERT_TRUE(module_heap_setup());
}

void ScriptTest::TearDown()
{
    module_heap_teardown();
    registry_.reset();
}

}  // namespace script_test
