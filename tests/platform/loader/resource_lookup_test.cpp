// Finding and reading embedded resources through every kind of module handle.
#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace loader_test;

namespace {

enum class HandleKind { DataFile, CodeModule, StrippedDataFile };

class ResourceLookup : public ::testing::TestWithParam<HandleKind> {
protected:
    void SetUp() override
    {
        switch (GetParam()) {
        case HandleKind::DataFile:
            module_ = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
            break;
        case HandleKind::CodeModule:
            module_ = LoadLibraryA(LOADER_FIXTURE);
            break;
        case HandleKind::StrippedDataFile:
            module_ = LoadLibraryExA(LOADER_FIXTURE_STRIPPED, nullptr, LOAD_LIBRARY_AS_DATAFILE);
            break;
        }
        ASSERT_NE(module_, nullptr) << "load failed with " << GetLastError();
    }
    void TearDown() override
    {
        if (module_ != nullptr) {
            EXPECT_TRUE(FreeLibrary(module_));
        }
    }

    void expect_missing(LPCSTR name, LPCSTR type, DWORD error)
    {
        SetLastError(0);
        EXPECT_EQ(FindResourceA(module_, name, type), nullptr);
        EXPECT_EQ(GetLastError(), error);
    }

    HMODULE module_ = nullptr;
};

TEST_P(ResourceLookup, FindsNumberedResourcesWithTheirExactBytes)
{
    // Of the two languages of script 101, U.S. English is preferred.
    EXPECT_EQ(resource_bytes(module_, MAKEINTRESOURCE(101), "REGISTRY"),
              read_file(fixture_source("script_en.rgs")));
    EXPECT_EQ(resource_bytes(module_, MAKEINTRESOURCE(1), "TYPELIB"),
              read_file(fixture_source("library.bin")));
}

TEST_P(ResourceLookup, ComparesStringsWithoutCaseAndReadsHashNumbers)
{
    HRSRC expected = FindResourceA(module_, MAKEINTRESOURCE(101), "REGISTRY");
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(FindResourceA(module_, MAKEINTRESOURCE(101), "registry"), expected);
    EXPECT_EQ(FindResourceA(module_, MAKEINTRESOURCE(101), "ReGiStRy"), expected);
    EXPECT_EQ(FindResourceA(module_, "#101", "REGISTRY"), expected);

    const std::vector<unsigned char> greeting = read_file(fixture_source("greeting.txt"));
    EXPECT_EQ(resource_bytes(module_, "Greeting", "Custom_Type"), greeting);
    EXPECT_EQ(resource_bytes(module_, "GREETING", "custom_type"), greeting);
}

TEST_P(ResourceLookup, FindsAnEmptyResourceUnderANumberedType)
{
    HRSRC info = FindResourceA(module_, "empty", MAKEINTRESOURCE(7));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(SizeofResource(module_, info), 0u);
    EXPECT_NE(LoadResource(module_, info), nullptr);
}

TEST_P(ResourceLookup, TellsAMissingTypeFromAMissingName)
{
    expect_missing(MAKEINTRESOURCE(101), "REGISTRYX", ERROR_RESOURCE_TYPE_NOT_FOUND);
    expect_missing(MAKEINTRESOURCE(101), MAKEINTRESOURCE(6), ERROR_RESOURCE_TYPE_NOT_FOUND);
    expect_missing(MAKEINTRESOURCE(101), nullptr, ERROR_RESOURCE_TYPE_NOT_FOUND);
    expect_missing(MAKEINTRESOURCE(102), "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND);
    // A string is never a number: "101" names a string resource, which is absent.
    expect_missing("101", "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND);
    expect_missing("#", "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND);
    expect_missing("#0", "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND);
    expect_missing("#65536", "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND);
    expect_missing("", "REGISTRY", ERROR_RESOURCE_NAME_NOT_FOUND);
    expect_missing(MAKEINTRESOURCE(1), "Custom_Type", ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST_P(ResourceLookup, ReportsTheModulesFullPath)
{
    const std::string expected = GetParam() == HandleKind::StrippedDataFile ? LOADER_FIXTURE_STRIPPED
                                                                            : LOADER_FIXTURE;
    char path[4096] = {};
    const DWORD length = GetModuleFileNameA(module_, path, sizeof path);
    EXPECT_EQ(std::string(path), expected);
    EXPECT_EQ(length, expected.size());
}

INSTANTIATE_TEST_SUITE_P(Handles, ResourceLookup,
                         ::testing::Values(HandleKind::DataFile, HandleKind::CodeModule,
                                           HandleKind::StrippedDataFile),
                         [](const ::testing::TestParamInfo<HandleKind> &kind) {
                             switch (kind.param) {
                             case HandleKind::DataFile:
                                 return "DataFile";
                             case HandleKind::CodeModule:
                                 return "CodeModule";
                             default:
                                 return "StrippedDataFile";
                             }
                         });

TEST(ResourceHandles, BelongToTheModuleThatFoundThem)
{
    HMODULE first = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMODULE second = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    HRSRC info = FindResourceA(first, MAKEINTRESOURCE(1), "TYPELIB");
    ASSERT_NE(info, nullptr);

    SetLastError(0);
    EXPECT_EQ(LoadResource(second, info), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(second, info), 0u);

    // A pointer into the middle of an entry is no handle either.
    auto *inside = reinterpret_cast<HRSRC>(reinterpret_cast<char *>(info) + 1);
    EXPECT_EQ(LoadResource(first, inside), nullptr);
    EXPECT_EQ(SizeofResource(first, nullptr), 0u);

    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(SizeofResource(first, info), 1000u);
    EXPECT_TRUE(FreeLibrary(first));
}

TEST(ResourceHandles, ClosedAndForeignModulesAreRefused)
{
    HMODULE module = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(FreeLibrary(module));

    SetLastError(0);
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCE(101), "REGISTRY"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    int not_a_module = 0;
    SetLastError(0);
    EXPECT_EQ(FindResourceA(reinterpret_cast<HMODULE>(&not_a_module), MAKEINTRESOURCE(1), "TYPELIB"),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(ResourceHandles, AModuleWithoutResourcesHasNoResourceSection)
{
    // The test program itself carries no resources, as a data file or as the program.
    char self[4096] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    HMODULE data = LoadLibraryExA(self, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(data, nullptr);
    SetLastError(0);
    EXPECT_EQ(FindResourceA(data, MAKEINTRESOURCE(1), "TYPELIB"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(data));

    SetLastError(0);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCE(1), "TYPELIB"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

}  // namespace
