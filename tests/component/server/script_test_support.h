// Shared by the registration interpreter's tests: a scratch registry and set-up
// module heaps for each test, ways to run scripts, to lay out keys from their
// text form and to read the roots back as text.
#pragma once

#include "registry_tree.h"
#include "scratch_registry.h"
#include "server/registry_script.h"
#include "server/script_parser.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace script_test {

// Expands and runs a script text with the given variables.
HRESULT run(const std::string &script, bool install,
            const std::vector<std::pair<std::u16string, std::u16string>> &variables = {});
inline HRESULT install(const std::string &script) { return run(script, true); }
inline HRESULT uninstall(const std::string &script) { return run(script, false); }

// Creates keys under HKEY_CLASSES_ROOT from lines in the form tree_text writes,
// with string values only: "Path\\Below @=default @Name=value".
void make_keys(const std::string &lines);

// HKEY_CLASSES_ROOT as tree_text gives it, followed by HKEY_CURRENT_USER's and
// HKEY_LOCAL_MACHINE's keys with "HKCU\\" and "HKLM\\" before their paths.
std::string registry_text();

// The test module that carries the scripts of scripts/ as resources.
std::u16string script_module_path();

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::unique_ptr<morvane::test::ScratchRegistry> registry_;
};

}  // namespace script_test
