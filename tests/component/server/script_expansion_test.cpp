// Expansion of %name% and %% before any token is read.
#include "script_test_support.h"

#include "server/expansion_buffer.h"

#include <cstdio>
#include <cstring>
#include <memory>

using namespace script_test;

namespace {

std::string error(HRESULT hr)
{
    char code[32];
    std::snprintf(code, sizeof code, "error %08X", static_cast<unsigned>(hr));
    return code;
}

class Expansion : public ScriptTest {
protected:
    // The table lives on the module heaps: made after they are set up, freed before
    // they are torn down.
    void SetUp() override
    {
        ScriptTest::SetUp();
        table_ = std::make_unique<RegistryScript>();
    }
    void TearDown() override
    {
        table_.reset();
        ScriptTest::TearDown();
    }

    // The expanded text, or the failure's code as "error <hex>".
    std::string expand(const std::string &text)
    {
        ScriptParser parser(*table_);
        LPSTR expanded = nullptr;
        const HRESULT hr = parser.expand_variables(text.c_str(), &expanded);
        if (FAILED(hr)) {
            EXPECT_EQ(expanded, nullptr);
            return error(hr);
        }
        std::string result = expanded;
        CoTaskMemFree(expanded);
        return result;
    }

    std::unique_ptr<RegistryScript> table_;
};

TEST_F(Expansion, ReplacesNamesOnceAndRefusesBadOnes)
{
    const std::string name31(31, 'n');
    const std::string name32(32, 'n');
    const std::pair<std::u16string, std::u16string> variables[] = {
        {u"Module", u"/opt/lib/Morvane.so"},
        {u"A", u"%B%"},
        {u"B", u"never"},
        {u"Path", u"/d\u00e9j\u00e0/\U0001F600.so"},
        {u"V", std::u16string(10000, u'v')},
        {std::u16string(name31.begin(), name31.end()), u"ok"},
        {std::u16string(name32.begin(), name32.end()), u"too long"},
    };
    for (const auto &[name, value] : variables)
        ASSERT_EQ(table_->set_variable(name.c_str(), value.c_str()), S_OK);

    const std::pair<std::string, std::string> rows[] = {
        {"%MODULE%", "/opt/lib/Morvane.so"},
        {"s '%module%' 100%%", "s '/opt/lib/Morvane.so' 100%"},
        {"%%%%", "%%"},
        {"%%Module%%", "%Module%"},
        {"", ""},
        {"no variables at all", "no variables at all"},
        // Inserted values are not scanned again.
        {"x%A%y", "x%B%y"},
        // Characters stay whole; values go to the ANSI code page.
        {"\xe2\x82\xac %Path% \xf0\x9f\x98\x80",
         "\xe2\x82\xac /d\xc3\xa9j\xc3\xa0/\xf0\x9f\x98\x80.so \xf0\x9f\x98\x80"},
        // Far beyond twice the script's length.
        {"%V%%V%", std::string(20000, 'v')},
        {"%" + name31 + "%", "ok"},
        {"%" + name32 + "%", error(E_FAIL)},
        {"%unknown%", error(DISP_E_EXCEPTION)},
        {"text %unclosed", error(DISP_E_EXCEPTION)},
        {"%", error(DISP_E_EXCEPTION)},
        // The name runs to the next "%" before its length is judged.
        {"%" + name32, error(DISP_E_EXCEPTION)},
    };
    for (const auto &[text, expected] : rows)
        EXPECT_EQ(expand(text), expected) << text.substr(0, 40);
}

TEST_F(Expansion, AFailedExpansionLeavesTheRegistryUntouched)
{
    EXPECT_EQ(install("HKCR { Written = s 'x' } %unclosed"), DISP_E_EXCEPTION);
    EXPECT_EQ(install("HKCR { Written = s '%" + std::string(32, 'n') + "%' }"), E_FAIL);
    EXPECT_EQ(install("HKCR { Written = s '%Nowhere%' }"), DISP_E_EXCEPTION);
    EXPECT_EQ(registry_text(), "");
}

// The buffer itself: room for whole characters from any start, and failures.
void *refuse(SIZE_T)
{
    return nullptr;
}
void *refuse_growth(void *, SIZE_T)
{
    return nullptr;
}

TEST(ExpansionBufferGrowth, MakesRoomForAWholeCharacterFromAnyStart)
{
    ExpansionBuffer empty;
    ASSERT_EQ(empty.allocate(0), S_OK);
    ASSERT_EQ(empty.append("\xf0\x9f\x98\x80", 4), S_OK);
    EXPECT_GE(empty.capacity(), 4u);

    ExpansionBuffer almost_full;
    ASSERT_EQ(almost_full.allocate(3), S_OK);
    ASSERT_EQ(almost_full.append("ab", 2), S_OK);
    ASSERT_EQ(almost_full.append("\xc3\xa9", 2), S_OK);
    EXPECT_EQ(almost_full.capacity(), 6u);
    ASSERT_EQ(almost_full.append("", 1), S_OK);
    LPSTR text = almost_full.release();
    EXPECT_STREQ(text, "ab\xc3\xa9");
    CoTaskMemFree(text);
    CoTaskMemFree(empty.release());
}

TEST(ExpansionBufferGrowth, AFailedGrowthIsOutOfMemoryAndKeepsTheText)
{
    ExpansionBuffer buffer(&CoTaskMemAlloc, &refuse_growth);
    ASSERT_EQ(buffer.allocate(2), S_OK);
    ASSERT_EQ(buffer.append("ab", 2), S_OK);
    EXPECT_EQ(buffer.append("c", 1), E_OUTOFMEMORY);
    EXPECT_EQ(buffer.length(), 2u);
    EXPECT_EQ(buffer.capacity(), 2u);
    LPSTR text = buffer.release();
    EXPECT_EQ(std::memcmp(text, "ab", 2), 0);
    CoTaskMemFree(text);

    ExpansionBuffer unallocated(&refuse, &refuse_growth);
    EXPECT_EQ(unallocated.allocate(8), E_OUTOFMEMORY);
    EXPECT_EQ(unallocated.append("a", 1), E_OUTOFMEMORY);
}

}  // namespace
