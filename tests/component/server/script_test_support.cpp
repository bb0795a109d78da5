#include "script_test_support.h"

#include "server/module_heap.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace script_test {
namespace {

// The registry is chosen by the environment when the first call connects, so it is
// set before main runs; the file is removed when the program ends.
struct ScratchRegistry {
    std::string directory;

    ScratchRegistry()
    {
        // In memory where the system offers it: the registry syncs every write.
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error) &&
                                                   access("/dev/shm", W_OK) == 0
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "script_test.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        directory = pattern;
        setenv("MORVANE_REGISTRY", (directory + "/registry.db").c_str(), 1);
    }
    ~ScratchRegistry()
    {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
};
const ScratchRegistry scratch_registry;

const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

void empty_root(HKEY root)
{
    char name[256];
    DWORD length = sizeof name;
    while (RegEnumKeyExA(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        ASSERT_EQ(RegDeleteTreeA(root, name), ERROR_SUCCESS) << name;
        length = sizeof name;
    }
}

void read_tree(HKEY key, const std::string &path, Tree &tree)
{
    auto &values = tree[path];
    std::vector<char> name(16384);
    std::vector<unsigned char> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD name_length = DWORD(name.size());
        DWORD type = 0;
        DWORD data_length = DWORD(data.size());
        if (RegEnumValueA(key, i, name.data(), &name_length, nullptr, &type, data.data(), &data_length) !=
            ERROR_SUCCESS)
            break;
        values[name.data()] = Value{type, std::vector<unsigned char>(data.begin(), data.begin() + data_length)};
    }
    for (DWORD i = 0;; ++i) {
        char child_name[256];
        DWORD length = sizeof child_name;
        if (RegEnumKeyExA(key, i, child_name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, child_name, 0, KEY_READ, &child) != ERROR_SUCCESS) {
            ADD_FAILURE() << "cannot open " << path << "\\" << child_name;
            continue;
        }
        read_tree(child, path.empty() ? child_name : path + "\\" + child_name, tree);
        RegCloseKey(child);
    }
}

}  // namespace

Value text(const std::string &s)
{
    std::vector<unsigned char> data(s.begin(), s.end());
    data.push_back(0);
    return Value{REG_SZ, std::move(data)};
}

Value number(DWORD n)
{
    const auto *p = reinterpret_cast<const unsigned char *>(&n);
    return Value{REG_DWORD, std::vector<unsigned char>(p, p + sizeof n)};
}

Value bytes(std::vector<unsigned char> b)
{
    return Value{REG_BINARY, std::move(b)};
}

Tree snapshot(HKEY root, const std::string &path)
{
    Tree tree;
    if (path.empty()) {
        read_tree(root, "", tree);
        return tree;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return tree;
    read_tree(key, "", tree);
    RegCloseKey(key);
    return tree;
}

bool key_exists(HKEY root, const std::string &path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<Value> value_of(HKEY root, const std::string &path, const char *name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    Value value;
    std::vector<unsigned char> data(65536);
    DWORD length = DWORD(data.size());
    const LSTATUS status = RegQueryValueExA(key, name, nullptr, &value.type, data.data(), &length);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    value.data.assign(data.begin(), data.begin() + length);
    return value;
}

void make_key(HKEY root, const std::string &path, const std::vector<std::pair<std::string, std::string>> &values)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    for (const auto &[name, data] : values)
        ASSERT_EQ(RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE *>(data.c_str()), DWORD(data.size() + 1)),
                  ERROR_SUCCESS);
    RegCloseKey(key);
}

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

std::u16string script_module_path()
{
    const std::string path = SCRIPT_MODULE;
    return std::u16string(path.begin(), path.end());
}

std::string read_source_file(const char *name)
{
    std::ifstream in(std::string(SCRIPT_SOURCES) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ScriptTest::SetUp()
{
    ASSERT_TRUE(module_heap_setup());
    for (HKEY root : roots)
        empty_root(root);
}

void ScriptTest::TearDown()
{
    module_heap_teardown();
}

}  // namespace script_test
