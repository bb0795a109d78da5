// The variable table: copies, growth, lookup order and case, and failures.
#include "script_test_support.h"

#include "server/module_heap.h"

using namespace script_test;

namespace {

using VariableTable = ScriptTest;

std::u16string as_u16(const std::string &s) { return std::u16string(s.begin(), s.end()); }

TEST_F(VariableTable, CopiesGrowsAndFindsTheFirstMatchWithoutCase)
{
    RegistryScript script;
    std::u16string name = u"Module";
    std::u16string value = u"/first/path";
    ASSERT_EQ(script.set_variable(name.c_str(), value.c_str()), S_OK);
    ASSERT_EQ(script.set_variable(u"MODULE", u"/second/path"), S_OK);
    name[0] = u'X';
    value[1] = u'X';
    ASSERT_EQ(script.set_variable(std::u16string(600, u'n').c_str(), u"long"), S_OK);
    ASSERT_EQ(script.set_variable(u"Gr\u00f6\u00dfe", u"size"), S_OK);
    ASSERT_EQ(script.set_variable(u"", u"empty"), S_OK);
    for (int i = 0; i < 21; ++i)
        ASSERT_EQ(script.set_variable(as_u16("v" + std::to_string(i)).c_str(), as_u16(std::to_string(i)).c_str()), S_OK);
    EXPECT_EQ(script.variable_count(), 26u);

    const std::pair<std::string, const char16_t *> lookups[] = {
        {"MoDuLe", u"/first/path"}, {"Modul", nullptr}, {"Modules", nullptr},
        {std::string(600, 'N'), u"long"}, {"Gr\xc3\xb6\xc3\x9f" "e", u"size"}, {"", u"empty"},
        {"v0", u"0"}, {"v20", u"20"}, {"v21", nullptr},
    };
    for (const auto &[wanted, expected] : lookups) {
        const char16_t *found = script.find_variable(wanted.c_str());
        if (expected == nullptr)
            EXPECT_EQ(found, nullptr) << wanted;
        else
            EXPECT_EQ(std::u16string(found ? found : u"(none)"), expected) << wanted;
    }
    EXPECT_EQ(script.find_variable(nullptr), nullptr);

    script.clear_variables();
    EXPECT_EQ(script.find_variable("Module"), nullptr);
    ASSERT_EQ(script.set_variable(u"a", u"3"), S_OK);
    EXPECT_EQ(std::u16string(script.find_variable("a")), u"3");
}

TEST_F(VariableTable, RefusesNullStringsAndAFailedGrowthAddsNothing)
{
    {
        RegistryScript script;
        EXPECT_EQ(script.set_variable(nullptr, u"x"), E_INVALIDARG);
        EXPECT_EQ(script.set_variable(u"x", nullptr), E_INVALIDARG);
        EXPECT_EQ(script.variable_count(), 0u);
    }
    // Without module heaps the list cannot be had: the pair is not added, and its
    // string copies are not leaked (the leak checker watches).
    module_heap_teardown();
    {
        RegistryScript script;
        EXPECT_EQ(script.set_variable(u"Module", u"/path"), E_OUTOFMEMORY);
        EXPECT_EQ(script.find_variable("Module"), nullptr);
    }
    ASSERT_TRUE(module_heap_setup());
}

}  // namespace
