// Setting, reading and deleting values: data kept as given, the caller's
// buffer rules, the default value, names without regard to case.
#include "registry_fixture.h"

#include <cstring>

namespace {

using ValueData = RegistryTest;
using ValueBuffers = RegistryTest;
using ValueNames = RegistryTest;
using ValueDeletion = RegistryTest;

std::vector<BYTE> bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST_F(ValueData, StringsKeepTheTerminatorTheyWereGivenWithOrNone)
{
    Key key(create(HKEY_CURRENT_USER, "Data"));
    const char text[] = "Both";
    ASSERT_EQ(RegSetValueExA(key, "With", 0, REG_SZ, reinterpret_cast<const BYTE *>(text), 5),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Without", 0, REG_SZ, reinterpret_cast<const BYTE *>(text), 4),
              ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(query(key, "With", &type), bytes(std::string_view("Both\0", 5)));
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_EQ(query(key, "Without", &type), bytes("Both"));
}

TEST_F(ValueData, EveryTypeAndSizeRoundTripsByteForByte)
{
    Key key(create(HKEY_CURRENT_USER, "Data"));
    const DWORD number = 0xDEADBEEF;
    ASSERT_EQ(RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number),
                             sizeof number),
              ERROR_SUCCESS);
    std::vector<BYTE> large(1 << 20);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<BYTE>(i * 7 + (i >> 8));
    ASSERT_EQ(RegSetValueExA(key, "Large", 0, REG_BINARY, large.data(),
                             static_cast<DWORD>(large.size())),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    const BYTE zeros[] = {0, 0, 0};
    ASSERT_EQ(RegSetValueExA(key, "Zeros", 0, 0x12345, zeros, sizeof zeros), ERROR_SUCCESS);

    DWORD type = 0;
    std::vector<BYTE> read = query(key, "Number", &type);
    ASSERT_EQ(read.size(), sizeof number);
    DWORD back = 0;
    std::memcpy(&back, read.data(), sizeof back);
    EXPECT_EQ(back, number);
    EXPECT_EQ(type, DWORD{REG_DWORD});
    EXPECT_EQ(query(key, "Large", &type), large);
    EXPECT_EQ(type, DWORD{REG_BINARY});
    LSTATUS status = ERROR_MORE_DATA;
    EXPECT_TRUE(query(key, "Empty", &type, &status).empty());
    EXPECT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(query(key, "Zeros", &type), std::vector<BYTE>(3, 0));
    EXPECT_EQ(type, DWORD{0x12345});
}

TEST_F(ValueData, SettingAgainReplacesTypeAndData)
{
    Key key(create(HKEY_CURRENT_USER, "Data"));
    ASSERT_EQ(set_string(key, "V", "a much longer first value"), ERROR_SUCCESS);
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueExA(key, "V", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), 4),
              ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(query(key, "V", &type).size(), 4u);
    EXPECT_EQ(type, DWORD{REG_DWORD});
}

TEST_F(ValueData, MissingDataWithASizeIsInvalid)
{
    Key key(create(HKEY_CURRENT_USER, "Data"));
    EXPECT_EQ(RegSetValueExA(key, "V", 0, REG_SZ, nullptr, 4), ERROR_INVALID_PARAMETER);
    LSTATUS status = ERROR_SUCCESS;
    query(key, "V", nullptr, &status);
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
}

TEST_F(ValueBuffers, ANullBufferAsksForTheSizeAndASmallOneForMore)
{
    Key key(create(HKEY_CURRENT_USER, "Buffers"));
    ASSERT_EQ(set_string(key, "V", "twelve chars"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "V", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(type, DWORD{REG_SZ});

    char buffer[32];
    size = 12;
    type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(type, DWORD{REG_SZ});

    size = 13;
    ASSERT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "twelve chars");
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 13u);
}

TEST_F(ValueBuffers, ExistenceCanBeAskedWithoutAnyBufferAndMisuseIsRefused)
{
    Key key(create(HKEY_CURRENT_USER, "Buffers"));
    ASSERT_EQ(set_string(key, "V", "x"), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_EQ(RegQueryValueExA(key, "W", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);

    BYTE buffer[8];
    DWORD size = sizeof buffer;
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "V", &reserved, nullptr, buffer, &size),
              ERROR_INVALID_PARAMETER);
}

TEST_F(ValueNames, NullAndEmptyNameTheDefaultValueWhichStartsUnset)
{
    Key key(create(HKEY_CLASSES_ROOT, "Morvane.CoMorvane"));
    LSTATUS status = ERROR_SUCCESS;
    query(key, nullptr, nullptr, &status);
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(set_string(key, nullptr, "CoMorvane Class"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, ""), "CoMorvane Class");
    ASSERT_EQ(set_string(key, "", "Changed"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, nullptr), "Changed");
    EXPECT_EQ(value_names(key), std::vector<std::string>{""});
}

TEST_F(ValueNames, CompareWithoutRegardToCaseAndKeepTheirFirstSpelling)
{
    Key key(create(HKEY_CLASSES_ROOT, "Server"));
    ASSERT_EQ(set_string(key, "ThreadingModel", "Apartment"), ERROR_SUCCESS);
    ASSERT_EQ(set_string(key, "THREADINGMODEL", "Both"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, "threadingmodel"), "Both");
    EXPECT_EQ(value_names(key), std::vector<std::string>{"ThreadingModel"});
}

TEST_F(ValueNames, MayHoldBackslashesAndAreLimitedInLength)
{
    Key key(create(HKEY_CURRENT_USER, "Names"));
    ASSERT_EQ(set_string(key, "a\\b", "slash"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, "A\\B"), "slash");
    EXPECT_FALSE(exists(key, "a"));

    const std::string longest(16383, 'n');
    const std::string too_long(16384, 'n');
    EXPECT_EQ(set_string(key, longest.c_str(), "x"), ERROR_SUCCESS);
    EXPECT_EQ(set_string(key, too_long.c_str(), "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(query_string(key, longest.c_str()), "x");
}

TEST_F(ValueDeletion, RemovesOneValueAndReportsAMissingOne)
{
    Key key(create(HKEY_CURRENT_USER, "Deletion"));
    ASSERT_EQ(set_string(key, nullptr, "default"), ERROR_SUCCESS);
    ASSERT_EQ(set_string(key, "Keep", "k"), ERROR_SUCCESS);
    ASSERT_EQ(set_string(key, "Drop", "d"), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteValueA(key, "DROP"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "Drop"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value_names(key), std::vector<std::string>{"Keep"});
    EXPECT_EQ(query_string(key, "Keep"), "k");
}

} // namespace
