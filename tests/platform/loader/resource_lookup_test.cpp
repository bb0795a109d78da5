// Finding and reading embedded resources through every kind of module handle.
#include "module_reading.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

std::vector<std::uint8_t> fixture_source(const char *name)
{
    return test_support::read_file(std::string(LOADER_FIXTURE_SOURCES) + "/" + name);
}

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
    HMODULE module = LoadLibraryExA(GetParam().first, nullptr, GetParam().second);
    ASSERT_NE(module, nullptr) << "load failed with " << GetLastError();
    // Of the two languages of script 101, U.S. English is preferred.
    EXPECT_EQ(resource_bytes(module, MAKEINTRESOURCE(101), "REGISTRY"), fixture_source("script_en.rgs"));
    EXPECT_EQ(resource_bytes(module, MAKEINTRESOURCE(1), "TYPELIB"), fixture_source("library.bin"));
    // Strings compare without case; "#101" is the number 101.
    EXPECT_EQ(resource_bytes(module, "#101", "ReGiStRy"), fixture_source("script_en.rgs"));
    EXPECT_EQ(resource_bytes(module, "GREETING", "custom_type"), fixture_source("greeting.txt"));
    HRSRC empty = FindResourceA(module, "empty", MAKEINTRESOURCE(7));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SizeofResource(module, empty), 0u);
    EXPECT_NE(LoadResource(module, empty), nullptr);

    const DWORD no_type = ERROR_RESOURCE_TYPE_NOT_FOUND, no_name = ERROR_RESOURCE_NAME_NOT_FOUND;
    const std::tuple<LPCSTR, LPCSTR, DWORD> absent[] = {
        {MAKEINTRESOURCE(101), "REGISTRYX", no_type}, {MAKEINTRESOURCE(101), MAKEINTRESOURCE(6), no_type},
        {MAKEINTRESOURCE(101), nullptr, no_type}, {MAKEINTRESOURCE(1), "Custom_Type", no_name},
        // A string is never a number: "101" names a string resource, which is absent.
        {"101", "REGISTRY", no_name}, {"#", "REGISTRY", no_name}, {"#0", "REGISTRY", no_name},
        {"#65536", "REGISTRY", no_name}, {"", "REGISTRY", no_name},
    };
    for (const auto &[name, type, error] : absent)
        EXPECT_EQ(missing(module, name, type), error);
    EXPECT_TRUE(FreeLibrary(module));
}

INSTANTIATE_TEST_SUITE_P(Handles, ResourceLookup,
                         ::testing::Values(std::pair{LOADER_FIXTURE, DWORD(LOAD_LIBRARY_AS_DATAFILE)},
                                           std::pair{LOADER_FIXTURE, DWORD(0)},
                                           std::pair{LOADER_FIXTURE_STRIPPED, DWORD(LOAD_LIBRARY_AS_DATAFILE)}));

TEST(ResourceHandles, BelongToTheirModuleAndClosedOrForeignModulesAreRefused)
{
    // The test program carries no resources, as a data file or as the program.
    HMODULE program = LoadLibraryExA(module_file_name(nullptr).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMODULE first = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMODULE second = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(first, second);
    HRSRC info = FindResourceA(first, MAKEINTRESOURCE(1), "TYPELIB");
    SetLastError(0);
    EXPECT_EQ(LoadResource(second, info), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    auto *inside = reinterpret_cast<HRSRC>(reinterpret_cast<char *>(info) + 1); // no handle either
    EXPECT_EQ(LoadResource(first, inside), nullptr);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(SizeofResource(first, info), 1000u);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(FreeLibrary(first));

    int not_a_module = 0;
    const std::pair<HMODULE, DWORD> modules[] = {
        {first, ERROR_INVALID_HANDLE}, {reinterpret_cast<HMODULE>(&not_a_module), ERROR_INVALID_HANDLE},
        {program, ERROR_RESOURCE_DATA_NOT_FOUND}, {nullptr, ERROR_RESOURCE_DATA_NOT_FOUND}};
    for (const auto &[module, error] : modules)
        EXPECT_EQ(missing(module, MAKEINTRESOURCE(1), "TYPELIB"), error);
    EXPECT_TRUE(FreeLibrary(program));
}

TEST(LoadPaths, RelativeNamesAreReportedAsFullPaths)
{
    const test_support::ScratchFolder scratch;
    std::filesystem::copy_file(LOADER_FIXTURE, scratch.file("copy.so"));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path());
    HMODULE code = LoadLibraryA("./copy.so");
    HMODULE data = LoadLibraryExA("copy.so", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::filesystem::current_path(previous);
    ASSERT_NE(code, nullptr) << GetLastError();
    ASSERT_NE(data, nullptr) << GetLastError();
    for (HMODULE module : {code, data}) {
        EXPECT_EQ(module_file_name(module), scratch.file("copy.so"));
        // The resources are read from the module's own file after the directory changed.
        EXPECT_EQ(resource_bytes(module, MAKEINTRESOURCE(1), "TYPELIB"), fixture_source("library.bin"));
        EXPECT_TRUE(FreeLibrary(module));
    }
}

}  // namespace
