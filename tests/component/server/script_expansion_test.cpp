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

TEST_F(Expansion, ReplacesVariablesAndDoubledPercentSigns)
{
    ASSERT_EQ(table_->set_variable(u"Module", u"/opt/lib/Morvane.so"), S_OK);
    EXPECT_EQ(expand("%MODULE%"), "/opt/lib/Morvane.so");
    EXPECT_EQ(expand("s '%module%' 100%%"), "s '/opt/lib/Morvane.so' 100%");
    EXPECT_EQ(expand("%%%%"), "%%");
    EXPECT_EQ(expand("%%Module%%"), "%Module%");
    EXPECT_EQ(expand(""), "");
    EXPECT_EQ(expand("no variables at all"), "no variables at all");
}

TEST_F(Expansion, InsertedValuesAreNotScannedAgain)
{
    ASSERT_EQ(table_->set_variable(u"A", u"%B%"), S_OK);
    ASSERT_EQ(table_->set_variable(u"B", u"never"), S_OK);
    EXPECT_EQ(expand("x%A%y"), "x%B%y");
}

TEST_F(Expansion, KeepsCharactersWholeAndConvertsValuesToTheAnsiCodePage)
{
    ASSERT_EQ(table_->set_variable(u"Path", u"/d\u00e9j\u00e0/\U0001F600.so"), S_OK);
    EXPECT_EQ(expand("\xe2\x82\xac %Path% \xf0\x9f\x98\x80"),
              "\xe2\x82\xac /d\xc3\xa9j\xc3\xa0/\xf0\x9f\x98\x80.so \xf0\x9f\x98\x80");
}

TEST_F(Expansion, GrowsFarBeyondTwiceTheScriptsLength)
{
    const std::u16string long_value(10000, u'v');
    ASSERT_EQ(table_->set_variable(u"V", long_value.c_str()), S_OK);
    EXPECT_EQ(expand("%V%%V%"), std::string(20000, 'v'));
}

TEST_F(Expansion, NameLimitsAndMissingNames)
{
    const std::string name31(31, 'n');
    const std::string name32(32, 'n');
    ASSERT_EQ(table_->set_variable(std::u16string(name31.begin(), name31.end()).c_str(), u"ok"), S_OK);
    ASSERT_EQ(table_->set_variable(std::u16string(name32.begin(), name32.end()).c_str(), u"too long"), S_OK);
    EXPECT_EQ(expand("%" + name31 + "%"), "ok");
    EXPECT_EQ(expand("%" + name32 + "%"), error(E_FAIL));
    EXPECT_EQ(expand("%unknown%"), error(DISP_E_EXCEPTION));
    EXPECT_EQ(expand("text %unclosed"), error(DISP_E_EXCEPTION));
    EXPECT_EQ(expand("%"), error(DISP_E_EXCEPTION));
    // The name runs to the next "%" before its length is judged.
    EXPECT_EQ(expand("%" + name32), error(DISP_E_EXCEPTION));
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
