// The registration interpreter: its passes as rows (those of literal texts in script_cases.txt),
// variables and expansion, scripts in resources.
#include "registry_tree.h"
#include "scratch_registry.h"
#include "server/module_heap.h"
#include "server/registry_script.h"
#include "server/script_parser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace morvane;
using namespace morvane::test;

namespace {

// Expands and runs a script text.
HRESULT run(const std::string &script, bool install)
{
    RegistryScript registry_script;
    ScriptParser parser(registry_script);
    LPSTR expanded = nullptr;
    HRESULT result = parser.expand_variables(script.c_str(), &expanded);
    return SUCCEEDED(result) ? parser.run_script(expanded, install) : result;
}

// Creates HKEY_CLASSES_ROOT keys from tree_text lines with string values: "K\\Sub @='d' @N='v'".
void make_keys(const std::string &lines)
{
    const std::regex value(" @([^=]*)='([^']*)'");
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, line.substr(0, line.find(" @")).c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS) << line;
        for (std::sregex_iterator at(line.begin(), line.end(), value), end; at != end; ++at) {
            const std::string name = (*at)[1], text = (*at)[2];
            ASSERT_EQ(RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE *>(text.c_str()), DWORD(text.size() + 1)),
                      ERROR_SUCCESS) << line;
        }
        RegCloseKey(key);
    }
}

// HKEY_CLASSES_ROOT as tree_text gives it, then the keys of HKCU\\ and HKLM\\ with those prefixes,
// less the user's Software\\Classes that HKEY_CLASSES_ROOT shows (and the Software key holding it).
std::string registry_text()
{
    std::string text = tree_text(registry_tree(HKEY_CLASSES_ROOT));
    for (const auto &[root, prefix] : {std::pair{HKEY_CURRENT_USER, "HKCU\\"}, std::pair{HKEY_LOCAL_MACHINE, "HKLM\\"}}) {
        RegistryTree tree = registry_tree(root);
        if (root == HKEY_CURRENT_USER) {
            std::erase_if(tree, [](const auto &key) { return key.first.rfind("Software\\Classes", 0) == 0; });
            const auto software = tree.find("Software");
            const auto next = software == tree.end() ? software : std::next(software);
            if (software != tree.end() && software->second.empty() &&
                (next == tree.end() || next->first.rfind("Software\\", 0) != 0))
                tree.erase(software);
        }
        text += std::regex_replace(tree_text(tree), std::regex("[^\n]+"), prefix + std::string("$&"));
    }
    return text;
}

// A scratch registry and set-up module heaps for each test.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module_heap_setup()); }
    void TearDown() override { module_heap_teardown(); }
    ScratchRegistry registry;
};

constexpr bool Install = true, Remove = false;

struct ScriptCase {
    std::string name, present, script;
    bool install;
    HRESULT result;
    std::string after;
};

// The cases of script_cases.txt (its first lines describe the format); a file that cannot be read stops the program.
std::vector<ScriptCase> read_cases(const std::string &path)
{
    const std::pair<const char *, const char *> escapes[] = {
        {"<CR>", "\r"}, {"<LF>", "\n"}, {"<TAB>", "\t"}, {"<VT>", "\v"}, {"<FF>", "\f"}, {"<SP>", " "}};
    const std::map<std::string, HRESULT> results = {{"S_OK", S_OK}, {"E_FAIL", E_FAIL}, {"DISP_E_EXCEPTION", DISP_E_EXCEPTION}};
    std::ifstream in(path);
    std::vector<ScriptCase> rows;
    std::string *text = nullptr;
    bool lines_of_keys = false;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::istringstream words(line);
        std::string marker, name, pass, result;
        words >> marker >> name >> pass >> result;
        if (line.empty() || marker == "#")
            continue;
        if (marker == "==" && (pass == "install" || pass == "remove") && results.count(result)) {
            rows.push_back({name, "", "", pass == "install", results.at(result), ""});
            text = nullptr;
        } else if (marker == "--" && !rows.empty() && (name == "before" || name == "script" || name == "after")) {
            ScriptCase &row = rows.back();
            text = name == "before" ? &row.present : name == "script" ? &row.script : &row.after;
            lines_of_keys = name != "script";
        } else if (text && marker != "==" && marker != "--") {
            for (const auto &[written, meant] : escapes)
                for (std::size_t at; (at = line.find(written)) != std::string::npos;)
                    line.replace(at, std::strlen(written), meant);
            *text += line + (lines_of_keys ? "\n" : "");
        } else {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": unexpected line: " + line);
        }
    }
    if (rows.empty())
        throw std::runtime_error(path + ": no cases");
    return rows;
}

std::string nested(int levels)
{
    std::string text = "HKCR {";
    for (int i = 0; i < 2 * levels; ++i)
        text += i < levels ? " k {" : " }";
    return text + " }";
}

// The file's cases, then those whose texts are built here.
const std::vector<ScriptCase> cases = [] {
    std::vector<ScriptCase> rows = read_cases(SCRIPT_CASES);
    const ScriptCase built[] = {
        {"NestingOneBeyondTheLimitIsRefused", "Existing @='old'\n", nested(512), Install,
         DISP_E_EXCEPTION, "Existing @='old'\n"},
        {"AKeyNameTheRegistryCannotHold", "", "HKCR { First = s 'x' " + std::string(300, 'k') + " }",
         Install, DISP_E_EXCEPTION, ""},
        {"DeeperNestingThanTheRegistryIsRefusedWhenRemoving", "", nested(20000), Remove, DISP_E_EXCEPTION, ""},
        {"AQuotedTokenOf4094Bytes", "", "HKCR { A = s '" + std::string(4094, 'q') + "' }", Install, S_OK,
         "A @='" + std::string(4094, 'q') + "'\n"},
        {"AQuotedTokenOf4095Bytes", "", "HKCR { B = s '" + std::string(4095, 'q') + "' }", Install, DISP_E_EXCEPTION, ""},
        {"ADoubledApostropheCountsOnce", "", "HKCR { C = s '" + std::string(4093, 'q') + "''' }", Install,
         S_OK, "C @='" + std::string(4093, 'q') + "''\n"},
        {"ATwoByteCharacterFitsAfter4093", "", "HKCR { A = s '" + std::string(4093, 'q') + "\xc3\xa9' }",
         Install, S_OK, "A @='" + std::string(4093, 'q') + "\xc3\xa9'\n"},
        {"AThreeByteCharacterDoesNotFitAfter4093", "",
         "HKCR { B = s '" + std::string(4093, 'q') + "\xe2\x82\xac' }", Install, DISP_E_EXCEPTION, ""},
        {"APlainTokenOf4095Bytes", "", "HKCR { A = s " + std::string(4095, 'p') + " }", Install, S_OK,
         "A @='" + std::string(4095, 'p') + "'\n"},
        {"APlainTokenOf4096Bytes", "", "HKCR { B = s " + std::string(4096, 'p') + " }", Install, DISP_E_EXCEPTION, ""},
        {"APlainTokenOf4096BytesWhenReadingPast", "", "HKCR { Absent = s " + std::string(4096, 'p') + " }",
         Remove, DISP_E_EXCEPTION, ""},
        {"AValueNameOf259Bytes", "", "HKCR { K { Val " + std::string(259, 'n') + " = s 'fits' } }",
         Install, S_OK, "K @" + std::string(259, 'n') + "='fits'\n"},
        {"AValueNameOf260Bytes", "", "HKCR { L { Val " + std::string(260, 'n') + " = s 'x' } }", Install,
         DISP_E_EXCEPTION, ""},
    };
    rows.insert(rows.end(), std::begin(built), std::end(built));
    return rows;
}();

void PrintTo(const ScriptCase &row, std::ostream *out) { *out << row.name; }

class ScriptCases : public ScriptTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ScriptCases, LeaveTheExpectedTree)
{
    const ScriptCase &row = GetParam();
    make_keys(row.present);
    EXPECT_EQ(run(row.script, row.install), row.result);
    EXPECT_EQ(registry_text(), row.after);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScriptCases, ::testing::ValuesIn(cases),
                         [](const auto &row) { return row.param.name; });

// Keys 511 levels deep (as deep as the registry goes): installed, removed twice, no trace left.
TEST_F(ScriptTest, TheDeepestKeysAreInstalledAndRemoved)
{
    make_keys("Unrelated @='u'\n");
    const std::string before = registry_text(), script = nested(511);
    ASSERT_EQ(run(script, true), S_OK);
    EXPECT_NE(registry_text(), before);
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_EQ(run(script, false), S_OK);
        EXPECT_EQ(registry_text(), before);
    }
}

std::u16string as_u16(const std::string &s) { return std::u16string(s.begin(), s.end()); }

// The expanded text, or the failure's code as "error <hex>".
std::string expand(RegistryScript &table, const std::string &text)
{
    ScriptParser parser(table);
    LPSTR expanded = nullptr;
    const HRESULT hr = parser.expand_variables(text.c_str(), &expanded);
    char code[32];
    std::snprintf(code, sizeof code, "error %08X", static_cast<unsigned>(hr));
    const std::string result = FAILED(hr) ? code : expanded;
    EXPECT_EQ(FAILED(hr), expanded == nullptr);
    CoTaskMemFree(expanded);
    return result;
}

// Copies kept, names found without case (first of equals), each expanded once; bad names refused.
TEST_F(ScriptTest, VariablesAreCopiedFoundWithoutCaseAndExpandedOnce)
{
    // Without module heaps the list cannot grow: nothing is added, nothing leaks.
    module_heap_teardown();
    {
        RegistryScript unheaped;
        EXPECT_EQ(unheaped.set_variable(u"Module", u"/path"), E_OUTOFMEMORY);
        EXPECT_EQ(unheaped.find_variable("Module"), nullptr);
    }
    ASSERT_TRUE(module_heap_setup());
    RegistryScript table;
    std::u16string copied_name = u"Module", copied_value = u"/opt/lib/Morvane.so";
    ASSERT_EQ(table.set_variable(copied_name.c_str(), copied_value.c_str()), S_OK);
    copied_name[0] = copied_value[1] = u'X';
    const std::string name31(31, 'n'), name32(32, 'n');
    const std::pair<std::u16string, std::u16string> variables[] = {
        {u"MODULE", u"/second/path"}, {u"A", u"%B%"}, {u"B", u"never"}, {u"Gr\u00f6\u00dfe", u"size"},
        {u"Path", u"/d\u00e9j\u00e0/\U0001F600.so"}, {u"V", std::u16string(10000, u'v')},
        {as_u16(name31), u"ok"}, {as_u16(name32), u"too long"}, {std::u16string(600, u'n'), u"long"},
    };
    for (const auto &[name, value] : variables)
        ASSERT_EQ(table.set_variable(name.c_str(), value.c_str()), S_OK);
    // 22 entries: the list grows twice.
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(table.set_variable(as_u16("v" + std::to_string(i)).c_str(), as_u16(std::to_string(i)).c_str()),
                  S_OK);
    EXPECT_EQ(table.variable_count(), 22u);
    const std::pair<std::string, std::string> rows[] = {
        {"s '%module%' 100%%", "s '/opt/lib/Morvane.so' 100%"},
        {"%%%%", "%%"}, {"", ""}, {"%v11%", "11"}, {"%Gr\xc3\xb6\xc3\x9f" "e%", "size"},
        // Inserted values are not scanned again.
        {"x%A%y", "x%B%y"},
        // Characters stay whole; values go to the ANSI code page.
        {"\xe2\x82\xac %Path% \xf0\x9f\x98\x80", "\xe2\x82\xac /d\xc3\xa9j\xc3\xa0/\xf0\x9f\x98\x80.so \xf0\x9f\x98\x80"},
        // Far beyond twice the script's length.
        {"%V%%V%", std::string(20000, 'v')},
        {"%" + name31 + "%", "ok"}, {"%" + name32 + "%", "error 80004005"},
        {"%v12%", "error 80020009"}, {"%Modul%", "error 80020009"}, {"%Modules%", "error 80020009"},
        {"text %unclosed", "error 80020009"},
        // The name runs to the next "%" before its length is judged.
        {"%" + name32, "error 80020009"},
    };
    for (const auto &[text, expected] : rows)
        EXPECT_EQ(expand(table, text), expected) << text.substr(0, 40);
    const char16_t *found = table.find_variable(std::string(600, 'N').c_str());
    EXPECT_EQ(std::u16string(found ? found : u""), u"long");
    EXPECT_EQ(table.find_variable(nullptr), nullptr);
    table.clear_variables();
    EXPECT_EQ(table.set_variable(nullptr, u"x"), E_INVALIDARG);
    EXPECT_EQ(table.set_variable(u"x", nullptr), E_INVALIDARG);
    EXPECT_EQ(table.variable_count(), 0u);
    EXPECT_EQ(table.find_variable("Module"), nullptr);
}

// Scripts loaded from a module file's resources.
TEST_F(ScriptTest, ResourcesGiveTheirResultsAndKeys)
{
    const std::u16string script_module = std::filesystem::path(SCRIPT_MODULE).u16string();
    const std::tuple<std::u16string, WORD, const char16_t *, bool, HRESULT, const char *> rows[] = {
        {u"/nonexistent/module.so", 101, u"REGISTRY", true, HRESULT(0x80070002), ""},
        {script_module, 199, u"REGISTRY", true, HRESULT(0x80070716), ""},
        // The text ends at its first zero byte; the type is found without case.
        {script_module, 102, u"REGISTRY", true, S_OK, "BeforeZero @='kept'\n"},
        {script_module, 102, u"registry", false, S_OK, ""},
        {script_module, 103, u"REGISTRY", true, S_OK, ""},
        // A missing variable stops the run before it starts.
        {script_module, 104, u"REGISTRY", true, DISP_E_EXCEPTION, ""},
    };
    for (const auto &[module, number, type, install, result, after] : rows) {
        RegistryScript script;
        ASSERT_EQ(script.set_variable(u"Module", u"/unused"), S_OK);
        EXPECT_EQ(script.apply_resource(module.c_str(), number, type, install), result) << number;
        EXPECT_EQ(registry_text(), after) << number;
    }
    EXPECT_EQ(RegistryScript().apply_resource(nullptr, 101, u"REGISTRY", true), E_INVALIDARG);
}

}  // namespace
