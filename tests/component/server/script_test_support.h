// The registration interpreter's tests: a scratch registry and module heaps per test, and keys as text.
#pragma once

#include "registry_tree.h"
#include "scratch_registry.h"
#include "server/registry_script.h"
#include "server/script_parser.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace script_test {

// Expands and runs a script text.
HRESULT run(const std::string &script, bool install);

// Creates keys under HKEY_CLASSES_ROOT from lines in the form tree_text writes,
// with string values only: "Path\\Below @=default @Name=value".
void make_keys(const std::string &lines);

// HKEY_CLASSES_ROOT as tree_text gives it, then the keys of HKCU\\ and HKLM\\ with those prefixes.
std::string registry_text();

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::optional<morvane::test::ScratchRegistry> registry_;
};

}  // namespace script_test
