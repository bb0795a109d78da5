// Shared by the registration interpreter's tests: a registry of their own (a
// scratch database named by MORVANE_REGISTRY before the first registry call),
// emptied before each test, module heaps set up, and ways to run scripts and to
// read the registry back as a whole.
#ifndef MORVANE_TESTS_SCRIPT_TEST_SUPPORT_H
#define MORVANE_TESTS_SCRIPT_TEST_SUPPORT_H

#include "server/registry_script.h"
#include "server/script_parser.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace script_test {

struct Value {
    DWORD type = 0;
    std::vector<unsigned char> data;

    bool operator==(const Value &other) const { return type == other.type && data == other.data; }
};

// A whole tree: every key's path below the root (the root itself is ""), with its
// values by name ("" is the default value).
using Tree = std::map<std::string, std::map<std::string, Value>>;

Value text(const std::string &s);  // REG_SZ with its terminator
Value number(DWORD n);             // REG_DWORD
Value bytes(std::vector<unsigned char> b);

// Every key and value under the root key (predefined) or under root\path.
Tree snapshot(HKEY root, const std::string &path = "");
bool key_exists(HKEY root, const std::string &path);
std::optional<Value> value_of(HKEY root, const std::string &path, const char *name);
// Creates root\path with the given values (REG_SZ text; "" is the default value).
void make_key(HKEY root, const std::string &path,
              const std::vector<std::pair<std::string, std::string>> &values = {});

// Expands and runs a script text with the given variables.
HRESULT run(const std::string &script, bool install,
            const std::vector<std::pair<std::u16string, std::u16string>> &variables = {});
inline HRESULT install(const std::string &script) { return run(script, true); }
inline HRESULT uninstall(const std::string &script) { return run(script, false); }

// The test module that carries the scripts of scripts/ as resources.
std::u16string script_module_path();
std::string read_source_file(const char *name);

// Each test starts with empty roots and set-up module heaps.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace script_test

#endif
