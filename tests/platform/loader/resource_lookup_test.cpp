// Finding and reading embedded resources through every kind of module handle.
#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace loader_test;

namespace {

DWORD missing(HMODULE module, LPCSTR name, LPCSTR type)
{
    SetLastError(0);
    EXPECT_EQ(FindResourceA(module, name, type), nullptr);
    return GetLastError();
}

// A data file, a code module and a stripped data file.
class ResourceLookup : public ::testing::TestWithParam<std::pair<const char *, DWORD>> {};

TEST_P(ResourceLookup, FindsResourcesWithTheirExactBytesAndTellsWhatIsMissing)
{
    const auto [path, flags] = GetParam();
    HMODULE module = LoadLibraryExA(path, nullptr, flags);
    ASSERT_NE(module, nullptr) << "load failed with " << GetLastError();
    // Of the two languages of script 101, U.S. English is preferred.
    EXPECT_EQ(resource_bytes(module, MAKEINTRESOURCE(101), "REGISTRY"), read_file(fixture_source("script_en.rgs")));
    EXPECT_EQ(resource_bytes(module, MAKEINTRESOURCE(1), "TYPELIB"), read_file(fixture_source("library.bin")));
    // Strings compare without case; "#101" is the number 101.
    HRSRC expected = FindResourceA(module, MAKEINTRESOURCE(101), "REGISTRY");
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCE(101), "ReGiStRy"), expected);
    EXPECT_EQ(FindResourceA(module, "#101", "REGISTRY"), expected);
    EXPECT_EQ(resource_bytes(module, "GREETING", "custom_type"), read_file(fixture_source("greeting.txt")));
    HRSRC empty = FindResourceA(module, "empty", MAKEINTRESOURCE(7));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SizeofResource(module, empty), 0u);
    EXPECT_NE(LoadResource(module, empty), nullptr);

    const DWORD no_type = ERROR_RESOURCE_TYPE_NOT_FOUND, no_name = ERROR_RESOURCE_NAME_NOT_FOUND;
    EXPECT_EQ(missing(module, MAKEINTRESOURCE(101), "REGISTRYX"), no_type);
    EXPECT_EQ(missing(module, MAKEINTRESOURCE(101), MAKEINTRESOURCE(6)), no_type);
    EXPECT_EQ(missing(module, MAKEINTRESOURCE(101), nullptr), no_type);
    EXPECT_EQ(missing(module, MAKEINTRESOURCE(102), "REGISTRY"), no_name);
    // A string is never a number: "101" names a string resource, which is absent.
    for (const char *name : {"101", "#", "#0", "#65536", ""})
        EXPECT_EQ(missing(module, name, "REGISTRY"), no_name) << name;
    EXPECT_EQ(missing(module, MAKEINTRESOURCE(1), "Custom_Type"), no_name);

    char full_path[4096] = {};
    EXPECT_EQ(GetModuleFileNameA(module, full_path, sizeof full_path), std::string(path).size());
    EXPECT_EQ(std::string(full_path), path);
    EXPECT_TRUE(FreeLibrary(module));
}

INSTANTIATE_TEST_SUITE_P(Handles, ResourceLookup,
                         ::testing::Values(std::pair{LOADER_FIXTURE, DWORD(LOAD_LIBRARY_AS_DATAFILE)},
                                           std::pair{LOADER_FIXTURE, DWORD(0)},
                                           std::pair{LOADER_FIXTURE_STRIPPED, DWORD(LOAD_LIBRARY_AS_DATAFILE)}));

TEST(ResourceHandles, BelongToTheirModuleAndClosedOrForeignModulesAreRefused)
{
    HMODULE first = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMODULE second = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(first, second);
    HRSRC info = FindResourceA(first, MAKEINTRESOURCE(1), "TYPELIB");
    SetLastError(0);
    EXPECT_EQ(LoadResource(second, info), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(second, info), 0u);
    auto *inside = reinterpret_cast<HRSRC>(reinterpret_cast<char *>(info) + 1); // no handle either
    EXPECT_EQ(LoadResource(first, inside), nullptr);
    EXPECT_EQ(SizeofResource(first, nullptr), 0u);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(SizeofResource(first, info), 1000u);
    EXPECT_TRUE(FreeLibrary(first));

    int not_a_module = 0;
    EXPECT_EQ(missing(first, MAKEINTRESOURCE(101), "REGISTRY"), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(missing(reinterpret_cast<HMODULE>(&not_a_module), MAKEINTRESOURCE(1), "TYPELIB"),
              DWORD(ERROR_INVALID_HANDLE));

    // The test program itself carries no resources, as a data file or as the program.
    char self[4096] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    HMODULE data = LoadLibraryExA(self, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_EQ(missing(data, MAKEINTRESOURCE(1), "TYPELIB"), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_EQ(missing(nullptr, MAKEINTRESOURCE(1), "TYPELIB"), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
}

}  // namespace
