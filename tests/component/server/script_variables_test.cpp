// The variable table, the expansion of %name% and %% with its buffer, and scripts from resources.
#include "script_test_support.h"

#include "server/expansion_buffer.h"
#include "server/module_heap.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace script_test;

namespace {

std::u16string as_u16(const std::string &s) { return std::u16string(s.begin(), s.end()); }

class Variables : public ScriptTest {
protected:
    // The expanded text, or the failure's code as "error <hex>".
    static std::string expand(RegistryScript &table, const std::string &text)
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
};

// Copies of the strings are kept; the first name matching without case wins.
TEST_F(Variables, TheTableCopiesGrowsAndFindsTheFirstMatchWithoutCase)
{
    {
        RegistryScript script;
        std::u16string name = u"Module", value = u"/first/path";
        ASSERT_EQ(script.set_variable(name.c_str(), value.c_str()), S_OK);
        ASSERT_EQ(script.set_variable(u"MODULE", u"/second/path"), S_OK);
        name[0] = value[1] = u'X';
        ASSERT_EQ(script.set_variable(std::u16string(600, u'n').c_str(), u"long"), S_OK);
        ASSERT_EQ(script.set_variable(u"Gr\u00f6\u00dfe", u"size"), S_OK);
        for (int i = 0; i < 21; ++i)
            ASSERT_EQ(script.set_variable(as_u16("v" + std::to_string(i)).c_str(), as_u16(std::to_string(i)).c_str()),
                      S_OK);
        EXPECT_EQ(script.variable_count(), 25u);
        const std::pair<std::string, const char16_t *> lookups[] = {
            {"MoDuLe", u"/first/path"}, {"Modul", nullptr}, {"Modules", nullptr}, {std::string(600, 'N'), u"long"},
            {"Gr\xc3\xb6\xc3\x9f" "e", u"size"}, {"v20", u"20"}, {"v21", nullptr},
        };
        for (const auto &[wanted, expected] : lookups) {
            const char16_t *found = script.find_variable(wanted.c_str());
            EXPECT_EQ(std::u16string(found ? found : u"(none)"), expected ? expected : u"(none)") << wanted;
        }
        EXPECT_EQ(script.find_variable(nullptr), nullptr);
        script.clear_variables();
        EXPECT_EQ(script.find_variable("Module"), nullptr);
        EXPECT_EQ(script.set_variable(nullptr, u"x"), E_INVALIDARG);
        EXPECT_EQ(script.set_variable(u"x", nullptr), E_INVALIDARG);
        EXPECT_EQ(script.variable_count(), 0u);
    }
    // Without module heaps the list cannot grow: nothing is added, nothing leaks.
    module_heap_teardown();
    RegistryScript script;
    EXPECT_EQ(script.set_variable(u"Module", u"/path"), E_OUTOFMEMORY);
    EXPECT_EQ(script.find_variable("Module"), nullptr);
    ASSERT_TRUE(module_heap_setup());
}

TEST_F(Variables, ExpansionReplacesNamesOnceAndRefusesBadOnes)
{
    RegistryScript table;
    const std::string name31(31, 'n'), name32(32, 'n');
    const std::pair<std::u16string, std::u16string> variables[] = {
        {u"Module", u"/opt/lib/Morvane.so"}, {u"A", u"%B%"}, {u"B", u"never"},
        {u"Path", u"/d\u00e9j\u00e0/\U0001F600.so"}, {u"V", std::u16string(10000, u'v')},
        {as_u16(name31), u"ok"}, {as_u16(name32), u"too long"},
    };
    for (const auto &[name, value] : variables)
        ASSERT_EQ(table.set_variable(name.c_str(), value.c_str()), S_OK);
    const std::pair<std::string, std::string> rows[] = {
        {"s '%module%' 100%%", "s '/opt/lib/Morvane.so' 100%"},
        {"%%%%", "%%"},
        {"", ""},
        // Inserted values are not scanned again.
        {"x%A%y", "x%B%y"},
        // Characters stay whole; values go to the ANSI code page.
        {"\xe2\x82\xac %Path% \xf0\x9f\x98\x80", "\xe2\x82\xac /d\xc3\xa9j\xc3\xa0/\xf0\x9f\x98\x80.so \xf0\x9f\x98\x80"},
        // Far beyond twice the script's length.
        {"%V%%V%", std::string(20000, 'v')},
        {"%" + name31 + "%", "ok"},
        {"%" + name32 + "%", "error 80004005"},
        {"%unknown%", "error 80020009"},
        {"text %unclosed", "error 80020009"},
        // The name runs to the next "%" before its length is judged.
        {"%" + name32, "error 80020009"},
    };
    for (const auto &[text, expected] : rows)
        EXPECT_EQ(expand(table, text), expected) << text.substr(0, 40);
    // A failed expansion runs nothing.
    EXPECT_EQ(run("HKCR { Written = s 'x' } %unclosed", true), DISP_E_EXCEPTION);
    EXPECT_EQ(registry_text(), "");
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
TEST_F(Variables, ResourcesGiveTheirResultsAndKeys)
{
    const std::u16string script_module = std::filesystem::path(SCRIPT_MODULE).u16string();
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
        {script_module, 102, u"NOSUCHTYPE", true, HRESULT(0x80070715), ""},
        {text_file.u16string(), 101, u"REGISTRY", true, HRESULT(0x8007000B), ""},
        // The text ends at its first zero byte; the type is found without case.
        {script_module, 102, u"REGISTRY", true, S_OK, "BeforeZero @='kept'\n"},
        {script_module, 102, u"registry", false, S_OK, ""},
        {script_module, 103, u"REGISTRY", true, S_OK, ""},
        // A missing variable stops the run before it starts.
        {script_module, 104, u"REGISTRY", true, DISP_E_EXCEPTION, ""},
    };
    for (const auto &row : rows) {
        RegistryScript script;
        ASSERT_EQ(script.set_variable(u"Module", u"/unused"), S_OK);
        EXPECT_EQ(script.apply_resource(row.module.c_str(), row.number, row.type, row.install), row.result)
            << row.number;
        EXPECT_EQ(registry_text(), row.after) << row.number;
    }
    std::filesystem::remove(text_file);
    EXPECT_EQ(RegistryScript().apply_resource(nullptr, 101, u"REGISTRY", true), E_INVALIDARG);
}

}  // namespace
