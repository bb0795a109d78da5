// Enumerating subkeys and values, and the summary of a key.
#include "registry_fixture.h"

#include <string>

namespace {

using KeyEnumeration = RegistryTest;
using ValueEnumeration = RegistryTest;
using KeySummary = RegistryTest;

std::uint64_t ticks(const FILETIME &time)
{
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

TEST_F(KeyEnumeration, ComesInNameOrderWithoutRegardToCase)
{
    Key parent(create(HKEY_CURRENT_USER, "Order"));
    for (const char *name : {"beta", "_under", "Zeta", "Alpha", "gamma", "alpha2"})
        make(parent, name);
    // Letters compare as upper case, so "_" (after "Z") sorts last.
    EXPECT_EQ(subkeys(parent),
              (std::vector<std::string>{"Alpha", "alpha2", "beta", "gamma", "Zeta", "_under"}));
}

TEST_F(KeyEnumeration, NameBuffersFollowTheSizeRules)
{
    Key parent(create(HKEY_CURRENT_USER, "Buffers"));
    make(parent, "Exactly");
    char name[16] = {};
    DWORD size = 7;
    EXPECT_EQ(RegEnumKeyExA(parent, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    size = 8;
    char klass[4] = {'x', 'x', 'x', 'x'};
    DWORD class_size = sizeof klass;
    FILETIME written{};
    ASSERT_EQ(RegEnumKeyExA(parent, 0, name, &size, nullptr, klass, &class_size, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_STREQ(name, "Exactly");
    EXPECT_EQ(class_size, 0u);
    EXPECT_EQ(klass[0], '\0');
    EXPECT_GT(ticks(written), 0u);

    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(parent, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKeyExA(parent, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExA(parent, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(KeyEnumeration, IndexZeroAgainAndAgainWhileDeletingReachesEveryKey)
{
    Key parent(create(HKEY_CURRENT_USER, "Sweep"));
    for (int i = 0; i < 25; ++i)
        make(parent, numbered("Key", i).c_str());
    int deleted = 0;
    char name[64];
    DWORD size = sizeof name;
    while (RegEnumKeyExA(parent, 0, name, &size, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
        ASSERT_EQ(RegDeleteKeyA(parent, name), ERROR_SUCCESS) << name;
        ++deleted;
        size = sizeof name;
        ASSERT_LE(deleted, 25);
    }
    EXPECT_EQ(deleted, 25);
    EXPECT_TRUE(subkeys(parent).empty());
}

TEST_F(KeyEnumeration, DeletingAnEarlierKeyMovesTheLaterOnesDown)
{
    Key parent(create(HKEY_CURRENT_USER, "Shift"));
    for (const char *name : {"A", "B", "C"})
        make(parent, name);
    char name[8];
    DWORD size = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(parent, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "B");
    ASSERT_EQ(RegDeleteKeyA(parent, "A"), ERROR_SUCCESS);
    size = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(parent, 1, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "C");
}

TEST_F(ValueEnumeration, ComesInTheOrderValuesWereFirstSet)
{
    Key key(create(HKEY_CURRENT_USER, "Values"));
    for (const char *name : {"b", "A", "c"})
        ASSERT_EQ(set_string(key, name, name), ERROR_SUCCESS);
    ASSERT_EQ(set_string(key, "B", "again"), ERROR_SUCCESS);
    EXPECT_EQ(value_names(key), (std::vector<std::string>{"b", "A", "c"}));
    ASSERT_EQ(RegDeleteValueA(key, "a"), ERROR_SUCCESS);
    ASSERT_EQ(set_string(key, "A", "back"), ERROR_SUCCESS);
    EXPECT_EQ(value_names(key), (std::vector<std::string>{"b", "c", "A"}));
}

TEST_F(ValueEnumeration, GivesNameTypeAndDataUnderTheBufferRules)
{
    Key key(create(HKEY_CURRENT_USER, "Values"));
    ASSERT_EQ(set_string(key, "Name", "some data"), ERROR_SUCCESS);

    char name[8];
    BYTE data[16];
    DWORD name_size = sizeof name;
    DWORD type = 0;
    DWORD data_size = 4;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, &type, data, &data_size),
              ERROR_MORE_DATA);
    EXPECT_EQ(data_size, 10u);
    EXPECT_STREQ(name, "Name");
    EXPECT_EQ(type, DWORD{REG_SZ});

    data_size = 0;
    name_size = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, nullptr, nullptr, &data_size),
              ERROR_SUCCESS);
    EXPECT_EQ(data_size, 10u);
    EXPECT_EQ(name_size, 4u);

    data_size = sizeof data;
    name_size = 4;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, nullptr, data, &data_size),
              ERROR_MORE_DATA);
    name_size = 5;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, &type, data, &data_size),
              ERROR_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char *>(data), "some data");

    name_size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &name_size, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumValueA(key, 0, name, &name_size, nullptr, nullptr, data, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(ValueEnumeration, IndexZeroAgainAndAgainWhileDeletingReachesEveryValue)
{
    Key key(create(HKEY_CURRENT_USER, "Sweep"));
    for (int i = 0; i < 25; ++i)
        ASSERT_EQ(set_string(key, numbered("V", i).c_str(), "x"), ERROR_SUCCESS);
    int deleted = 0;
    char name[64];
    DWORD size = sizeof name;
    while (RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
        ASSERT_EQ(RegDeleteValueA(key, name), ERROR_SUCCESS) << name;
        ++deleted;
        size = sizeof name;
        ASSERT_LE(deleted, 25);
    }
    EXPECT_EQ(deleted, 25);
}

TEST_F(KeySummary, CountsAndLongestNamesAndData)
{
    Key key(create(HKEY_CURRENT_USER, "Summary"));
    make(key, "ab");
    make(key, "abcdef");
    ASSERT_EQ(set_string(key, nullptr, "default value"), ERROR_SUCCESS);
    ASSERT_EQ(set_string(key, "Longer name", "x"), ERROR_SUCCESS);

    DWORD subkey_count = 0, max_subkey = 0, max_class = 9, value_count = 0, max_value_name = 0,
          max_value = 0, security = 9;
    FILETIME written{};
    char klass[4] = {'x'};
    DWORD class_size = sizeof klass;
    ASSERT_EQ(RegQueryInfoKeyA(key, klass, &class_size, nullptr, &subkey_count, &max_subkey,
                               &max_class, &value_count, &max_value_name, &max_value, &security,
                               &written),
              ERROR_SUCCESS);
    EXPECT_EQ(subkey_count, 2u);
    EXPECT_EQ(max_subkey, 6u);
    EXPECT_EQ(value_count, 2u);
    EXPECT_EQ(max_value_name, 11u);
    EXPECT_EQ(max_value, 14u);
    EXPECT_EQ(max_class, 0u);
    EXPECT_EQ(class_size, 0u);
    EXPECT_EQ(klass[0], '\0');

    // Every out-parameter may be left out; a change of values moves the time.
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(set_string(key, "Later", "y"), ERROR_SUCCESS);
    FILETIME later{};
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, &later),
              ERROR_SUCCESS);
    EXPECT_GE(ticks(later), ticks(written));
    EXPECT_GT(ticks(written), 116444736000000000u);

    DWORD reserved = 0;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, &reserved, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(KeySummary, AnEmptyKeyHasNothing)
{
    Key key(create(HKEY_CURRENT_USER, "Empty"));
    DWORD subkey_count = 9, max_subkey = 9, value_count = 9, max_value_name = 9, max_value = 9;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkey_count, &max_subkey,
                               nullptr, &value_count, &max_value_name, &max_value, nullptr,
                               nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkey_count + max_subkey + value_count + max_value_name + max_value, 0u);
}

} // namespace
