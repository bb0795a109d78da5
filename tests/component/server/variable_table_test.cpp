// The variable table: copies, growth, lookup order and case, and failures.
#include "script_test_support.h"

#include "server/module_heap.h"

using namespace script_test;

namespace {

using VariableTable = ScriptTest;

std::u16string as_u16(const std::string &s)
{
    return std::u16string(s.begin(), s.end());
}

TEST_F(VariableTable, GrowsToHoldEveryPair)
{
    RegistryScript script;
    for (int i = 0; i < 21; ++i)
        ASSERT_EQ(script.set_variable(as_u16("v" + std::to_string(i)).c_str(), as_u16(std::to_string(i)).c_str()), S_OK);
    EXPECT_EQ(script.variable_count(), 21u);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(std::u16string(script.find_variable(("v" + std::to_string(i)).c_str())), as_u16(std::to_string(i)));
}

TEST_F(VariableTable, CopiesBothStringsAndFindsTheFirstMatchWithoutCase)
{
    RegistryScript script;
    std::u16string name = u"Module";
    std::u16string value = u"/first/path";
    ASSERT_EQ(script.set_variable(name.c_str(), value.c_str()), S_OK);
    ASSERT_EQ(script.set_variable(u"MODULE", u"/second/path"), S_OK);
    name[0] = u'X';
    value[1] = u'X';
    EXPECT_EQ(std::u16string(script.find_variable("module")), u"/first/path");
    EXPECT_EQ(std::u16string(script.find_variable("MoDuLe")), u"/first/path");
    EXPECT_EQ(script.find_variable("Modul"), nullptr);
    EXPECT_EQ(script.find_variable("Modules"), nullptr);
    EXPECT_EQ(script.find_variable(nullptr), nullptr);
}

TEST_F(VariableTable, FindsNamesOfAnyLengthAndCharacters)
{
    RegistryScript script;
    const std::u16string long_name(600, u'n');
    ASSERT_EQ(script.set_variable(long_name.c_str(), u"long"), S_OK);
    ASSERT_EQ(script.set_variable(u"Gr\u00f6\u00dfe", u"size"), S_OK);
    ASSERT_EQ(script.set_variable(u"", u"empty"), S_OK);
    EXPECT_EQ(std::u16string(script.find_variable(std::string(600, 'N').c_str())), u"long");
    EXPECT_EQ(std::u16string(script.find_variable("Gr\xc3\xb6\xc3\x9f" "e")), u"size");
    EXPECT_EQ(std::u16string(script.find_variable("")), u"empty");
}

TEST_F(VariableTable, ClearingEmptiesTheListButKeepsIt)
{
    RegistryScript script;
    ASSERT_EQ(script.set_variable(u"a", u"1"), S_OK);
    ASSERT_EQ(script.set_variable(u"b", u"2"), S_OK);
    script.clear_variables();
    EXPECT_EQ(script.variable_count(), 0u);
    EXPECT_EQ(script.find_variable("a"), nullptr);
    ASSERT_EQ(script.set_variable(u"a", u"3"), S_OK);
    EXPECT_EQ(std::u16string(script.find_variable("a")), u"3");
}

TEST_F(VariableTable, RefusesNullStrings)
{
    RegistryScript script;
    EXPECT_EQ(script.set_variable(nullptr, u"x"), E_INVALIDARG);
    EXPECT_EQ(script.set_variable(u"x", nullptr), E_INVALIDARG);
    EXPECT_EQ(script.variable_count(), 0u);
}

TEST_F(VariableTable, AFailedGrowthAddsNothing)
{
    // Without module heaps the list cannot be had: the pair is not added, and its
    // string copies are not leaked (the leak checker watches).
    module_heap_teardown();
    {
        RegistryScript script;
        EXPECT_EQ(script.set_variable(u"Module", u"/path"), E_OUTOFMEMORY);
        EXPECT_EQ(script.variable_count(), 0u);
        EXPECT_EQ(script.find_variable("Module"), nullptr);
    }
    ASSERT_TRUE(module_heap_setup());
}

}  // namespace
