// The registration interpreter: its passes as rows, variables and expansion, scripts in resources.
#include "registry_tree.h"
#include "scratch_registry.h"
#include "server/expansion_buffer.h"
#include "server/module_heap.h"
#include "server/registry_script.h"
#include "server/script_parser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
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
    const char *name;
    std::string present, script;
    bool install;
    HRESULT result;
    std::string after;
};

std::string nested(int levels)
{
    std::string text = "HKCR {";
    for (int i = 0; i < 2 * levels; ++i)
        text += i < levels ? " k {" : " }";
    return text + " }";
}

const std::vector<ScriptCase> cases = {
    {"NestedKeysWithDefaultAndNamedValues", "", "HKCR\r\n{\r\n\tOuter = s 'outer'\r\n\t{\r\n\t\tInner\r\n\t\t{\r\n"
     "\t\t\tLeaf = s 'leaf'\r\n\t\t\tval Name = s 'named'\r\n\t\t}\r\n\t}\r\n}\r\n",
     Install, S_OK, "Outer @='outer'\nOuter\\Inner @Name='named'\nOuter\\Inner\\Leaf @='leaf'\n"},
    {"KeepsWhatIsThereAndOverwritesListedValues", "K @='old' @Other='kept'\nK\\Child\n",
     "HKCR { K = s 'new' }", Install, S_OK, "K @='new' @Other='kept'\nK\\Child\n"},
    {"EveryValueType", "", "HKCR { K { val S1 = s 'text' val S2 = S 'upper' val D1 = d '4294967295' val D2 = D 17"
     " val B1 = b '0aFf' val B2 = B zz val B3 = b '' val B4 = b 'A1b2C3' } }", Install, S_OK,
     "K @B1=x0aff @B2=x00 @B3=x @B4=xa1b2c3 @D1=#4294967295 @D2=#17 @S1='text' @S2='upper'\n"},
    {"ANumberTheConversionRefusesWritesNothing", "",
     "HKCR { K { val Bad = d 'not a number' val Big = d 4294967296 val Good = d 5 } }", Install, S_OK, "K @Good=#5\n"},
    {"AnOddNumberOfDigitsFailsAndRollsBack", "", "HKCR { K = s 'x' { val B = b 'abc' } }", Install, E_FAIL, ""},
    {"AValueNameMayHoldBackslashes", "", "HKCR { K { val 'dir\\file' = s 'x' } }", Install, S_OK, "K @dir\\file='x'\n"},
    {"OnlyTheOneCharacterBraceOpensABlock", "", "HKCR { A = s 'x' {1111} = s 'y' {2222} }",
     Install, S_OK, "A @='x'\n{1111} @='y'\n{2222}\n"},
    {"RootNames", "", "hkcr { A } HKEY_CLASSES_ROOT { B } HKCU { C } HKEY_LOCAL_MACHINE { D }",
     Install, S_OK, "A\nB\nHKCU\\C\nHKLM\\D\n"},
    {"AnUnknownRootKeepsEarlierRootBlocks", "", "HKCR { E } HKXX { F }", Install, DISP_E_EXCEPTION, "E\n"},
    {"ARootWithoutABlock", "", "HKCR I", Install, DISP_E_EXCEPTION, ""},
    {"AnyTokenBeginningWithABraceOpensARootBlock", "", "HKCR {opening J }", Install, S_OK, "J\n"},
    {"DeleteRemovesATreeWithoutCreatingOne", "Gone\\Sub @='x'\nStays\n",
     "HKCR { Delete Gone = s 'ignored' Delete Absent Stays }", Install, S_OK, "Stays\n"},
    {"ABlockAfterDeleteIsRefused", "Old\n", "HKCR { K Delete Old { Sub } }", Install, DISP_E_EXCEPTION, ""},
    {"ABlockAfterValIsRefused", "", "HKCR { K { val V = s 'x' { Sub } } }", Install, DISP_E_EXCEPTION, ""},
    {"AValueNameWithoutItsEqualsIsRefused", "Existing @='old'\n", "HKCR { K2 { val a s 'x' } }",
     Install, DISP_E_EXCEPTION, "Existing @='old'\n"},
    {"NestingOneBeyondTheLimitIsRefused", "Existing @='old'\n", nested(512), Install,
     DISP_E_EXCEPTION, "Existing @='old'\n"},
    {"AKeyNameTheRegistryCannotHold", "", "HKCR { First = s 'x' " + std::string(300, 'k') + " }",
     Install, DISP_E_EXCEPTION, ""},
    {"DeeperNestingThanTheRegistryIsRefusedWhenRemoving", "", nested(20000), Remove, DISP_E_EXCEPTION, ""},

    {"AKeyWithUnlistedSubkeysStays", "K @V='v'\nK\\Listed\nK\\Unlisted @='kept'\n",
     "HKCR { K { val V = s 'v' Listed } After }", Remove, S_OK, "K\nK\\Unlisted @='kept'\n"},
    {"TheForcedRemovalIgnoresNoRemove", "K\\K\\Deeper @='x'\nK\\Other\nK\\Listed\n",
     "HKCR { NoRemove K { Listed } }", Remove, S_OK, "K\nK\\Other\n"},
    // Values are still removed, and a nested block starts without the flag.
    {"NoRemoveKeepsEveryLaterKeyOfItsBlock", "Before\nA @V='v' @W='w'\nB\nOuter\\Inner\n",
     "HKCR { Before NoRemove A { val V = s 'v' } B Outer { Inner } }", Remove, S_OK, "A @W='w'\nB\nOuter\n"},
    {"RemovingABlockAfterDelete", "D @V='v'\n", "HKCR { Delete D { val V = s 'v' } }", Remove,
     DISP_E_EXCEPTION, "D @V='v'\n"},
    // A holds only its default value, so it goes at once and its block is read past.
    {"ABlockTheRegistryDoesNotReflectIsReadPast", "A @='x'\nB @='y'\nC\n",
     "HKCR { A = s 'x' { val V = s 'v' Sub { Deeper } } B = s 'y' C }", Remove, S_OK, ""},
    {"UnlistedContentsDoNotShiftTheEntries", "A @='x' @Unlisted='u'\nB\\C\nD\\Unlisted\nE\n",
     "HKCR { A = s 'x' B = s 'y' { C } D E }", Remove, S_OK, "D\nD\\Unlisted\n"},
    {"ARootBlockWithoutEntriesChangesNothing", "K\n", "HKCR { }", Remove, S_OK, "K\n"},
    // Removing reads the text as installing does: a keyword after "Delete" is a name,
    // and a token after a block begins the next entry.
    {"RemovingReadsTheTextAsInstallingDoes", "NoRemove\nX\nK\n=\n",
     "HKCR { Delete NoRemove X K { } = s 'x' }", Remove, S_OK, ""},

    {"AnAbsentKeysBlockIsWalkedUntouched", "X @V='v'\nAfter\n",
     "HKCR { Absent { X { val V = s 'v' } } After }", Remove, S_OK, "X @V='v'\n"},
    {"AfterAnAbsentKeyEntriesAreReadPastUntilABlock", "P\nQ @V='v'\nR\n",
     "HKCR { Absent = s 'a' P Q = s 'q' { val V = s 'v' } R }", Remove, S_OK, "P\nQ @V='v'\n"},
    {"RecoveryEndsWithTheBlockItBeganIn", "Outer\\Inner\nAfter\n",
     "HKCR { Outer { Absent Inner } After }", Remove, S_OK, "Outer\nOuter\\Inner\n"},
    {"InRecoveryKeysNamedLikeIdentifiersAreEntries", "{1111}\nQ\\Sub\nR\n",
     "HKCR { Absent = s 'a' {1111} = s 'x' Q { Sub } R }", Remove, S_OK, "Q\nQ\\Sub\n{1111}\n"},

    // A failed installation is rolled back by the removing pass over its root block.
    {"RollBackRemovesTheBlocksKeysWhoeverWroteThem", "Existing @='old'\nUnlisted\n",
     "HKCR { Existing = s 'new' Created { val V = s 'v' Sub } Bad = q 'x' Later }", Install,
     DISP_E_EXCEPTION, "Unlisted\n"},
    {"RollBackKeepsNoRemoveKeys", "", "HKCR { NoRemove Keep { Child } Bad\\Name }", Install,
     DISP_E_EXCEPTION, "Keep\n"},
    {"RollBackKeepsEarlierRootBlocks", "", "HKCU { Done = s 'd' } HKCR { Partial { Inner } Bad = s } ",
     Install, DISP_E_EXCEPTION, "HKCU\\Done @='d'\n"},
    {"RollBackOfABlockNeverClosed", "", "HKCR { A = s 'x' B { C", Install, DISP_E_EXCEPTION, ""},
    {"RollBackDoesNotBringBackForceRemovedKeys", "Replaced\\Old\n",
     "HKCR { ForceRemove Replaced { New } Bad = b '1' }", Install, E_FAIL, ""},

    // "CLSID" and "TYPELIB" are never removed by ForceRemove, Delete or the forced removal.
    {"ForceRemoveAndDeleteSpareProtectedNames", "CLSID\\{Other} @='other class'\nTypeLib\\{Lib}\nPlain\\Old\n",
     "HKCR { ForceRemove CLSID { New } ForceRemove typelib Delete clsid Delete TYPELIB" " ForceRemove Plain { New } }",
     Install, S_OK, "CLSID\nCLSID\\New\nCLSID\\{Other} @='other class'\nPlain\nPlain\\New\nTypeLib\nTypeLib\\{Lib}\n"},
    {"TheForcedRemovalSparesProtectedNames",
     "CLSID\\CLSID\nCLSID\\Mine\nTypeLib\\TypeLib\nTypeLib\\Mine\nPlain\\Plain\nPlain\\Mine\n",
     "HKCR { NoRemove CLSID { Mine } TypeLib { Mine } Plain { Mine } }", Remove, S_OK,
     "CLSID\nCLSID\\CLSID\nPlain\nTypeLib\nTypeLib\\TypeLib\n"},
    {"ThePlainDeleteDoesNotConsultProtectedNames", "CLSID\nTypeLib @='x'\n",
     "HKCR { CLSID TypeLib = s 'x' }", Remove, S_OK, ""},

    {"QuotedTokensUndoubleApostrophesAndMayBeEmpty", "",
     "HKCR { A = s 'It''s' B = s '' C = s '''' D = s 'a''''b' }", Install, S_OK,
     "A @='It's'\nB @=''\nC @='''\nD @='a''b'\n"},
    {"QuotedTokensHoldWhiteSpaceBracesAndEquals", "", "HKCR { 'a b{=}\r\n\tc' = s 'x } { = y' }",
     Install, S_OK, "a b{=}\r\n\tc @='x } { = y'\n"},
    {"ATokenEndsAtItsClosingApostrophe", "", "HKCR { 'P'Q }", Install, S_OK, "P\nQ\n"},
    {"OnlySpaceTabAndLineEndsSeparateTokens", "", "HKCR\t{\r\nX= A\vB\fC }", Install, S_OK, "A\vB\fC\nX=\n"},
    // A quoted "}" closes the block; a quoted keyword is the keyword.
    {"QuotedTokensAreReadLikePlainOnes", "",
     "HKCR { A '}' HKCR '{' 'NoRemove' K { Val 'v' = 's' 'x' } }", Install, S_OK, "A\nK @v='x'\n"},
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
    {"OnlyWhiteSpace", "", " \t\r\n", Install, DISP_E_EXCEPTION, ""},
    {"AQuoteNeverClosed", "", "HKCR { A = s 'never closed }", Install, DISP_E_EXCEPTION, ""},
    {"AnEmptyRootBlock", "", "HKCR { } \r\n ", Install, S_OK, ""},
};

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
                         [](const auto &row) { return std::string(row.param.name); });

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

void *refuse(SIZE_T) { return nullptr; }
void *refuse_growth(void *, SIZE_T) { return nullptr; }

// Growth from any start makes room for whole characters; a failed growth keeps the text.
TEST(ExpansionBuffer, GrowsForWholeCharactersAndFailsAsOutOfMemory)
{
    for (const std::size_t start : {0, 3}) {
        ExpansionBuffer buffer;
        ASSERT_EQ(buffer.allocate(start), S_OK);
        for (const char *piece : {"ab", "\xc3\xa9", "\xf0\x9f\x98\x80"})
            ASSERT_EQ(buffer.append(piece, std::strlen(piece) + (piece[0] == '\xf0')), S_OK);
        LPSTR text = buffer.release();
        EXPECT_STREQ(text, "ab\xc3\xa9\xf0\x9f\x98\x80");
        CoTaskMemFree(text);
    }
    ExpansionBuffer refused(&CoTaskMemAlloc, &refuse_growth), unallocated(&refuse, &refuse_growth);
    ASSERT_EQ(refused.allocate(2), S_OK);
    ASSERT_EQ(refused.append("ab", 2), S_OK);
    EXPECT_EQ(refused.append("c", 1), E_OUTOFMEMORY);
    EXPECT_EQ(refused.length(), 2u);
    LPSTR text = refused.release();
    EXPECT_EQ(std::memcmp(text, "ab", 2), 0);
    CoTaskMemFree(text);
    EXPECT_EQ(unallocated.allocate(8), E_OUTOFMEMORY);
    EXPECT_EQ(unallocated.append("a", 1), E_OUTOFMEMORY);
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
