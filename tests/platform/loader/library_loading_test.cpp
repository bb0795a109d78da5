// Loading modules for code and as data files, their entry points, exports and file names.
#include "module_reading.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <dlfcn.h>

namespace {

// The fixture's entry-point calls since the last clear: its module and reason.
std::vector<std::pair<HINSTANCE, DWORD>> entry_calls;

} // namespace

// Exported by the test program; the fixture's entry point finds it by name and reports through it.
extern "C" __attribute__((visibility("default"))) void loader_test_observe_entry(HINSTANCE module, DWORD reason)
{
    entry_calls.emplace_back(module, reason);
}

namespace {

TEST(CodeModules, AreTheirElfHeaderAndExportOnlyTheirOwnNamedSymbols)
{
    HMODULE module = LoadLibraryA(LOADER_FIXTURE);
    HMODULE data = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << GetLastError();
    auto answer = reinterpret_cast<int (*)()>(reinterpret_cast<void (*)()>(GetProcAddress(module, "fixture_answer")));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    int not_a_module = 0;
    const std::pair<HMODULE, LPCSTR> refused[] = {
        {module, "malloc"}, {module, ""}, {module, MAKEINTRESOURCE(1)}, {data, "fixture_answer"},
        {reinterpret_cast<HMODULE>(&not_a_module), "fixture_answer"},
    };
    for (const auto &[handle, name] : refused) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(handle, name), nullptr);
        EXPECT_EQ(GetLastError(),
                  DWORD(handle == module || handle == data ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE));
    }
    EXPECT_TRUE(FreeLibrary(module) && FreeLibrary(data));
    // The program's own exports, through the null handle.
    EXPECT_EQ(reinterpret_cast<void (*)()>(GetProcAddress(nullptr, "loader_test_observe_entry")),
              reinterpret_cast<void (*)()>(&loader_test_observe_entry));
}

TEST(EntryPoint, RunsOnFirstLoadAndLastFreeNeverForDataFilesAndMayRefuse)
{
    using Calls = std::vector<std::pair<HINSTANCE, DWORD>>;
    entry_calls.clear();
    EXPECT_TRUE(FreeLibrary(LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE)));
    EXPECT_TRUE(entry_calls.empty()) << "a data file runs no code";

    HMODULE first = LoadLibraryA(LOADER_FIXTURE), second = LoadLibraryA(LOADER_FIXTURE);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(entry_calls, (Calls{{first, DLL_PROCESS_ATTACH}}));
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(entry_calls, (Calls{{first, DLL_PROCESS_ATTACH}, {first, DLL_PROCESS_DETACH}}));
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(second));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    entry_calls.clear();
    setenv("LOADER_FIXTURE_REFUSE_ATTACH", "1", 1);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(LOADER_FIXTURE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DLL_INIT_FAILED));
    unsetenv("LOADER_FIXTURE_REFUSE_ATTACH");
    ASSERT_EQ(entry_calls.size(), 2u);
    EXPECT_EQ(entry_calls,
              (Calls{{entry_calls[0].first, DLL_PROCESS_ATTACH}, {entry_calls[0].first, DLL_PROCESS_DETACH}}));
    EXPECT_TRUE(FreeLibrary(LoadLibraryA(LOADER_FIXTURE))) << "a refused load leaves nothing behind";
}

// A missing file and one that is no ELF file are the activation failure table's rows.
TEST(LoadFailures, CarryTheWindowsErrorCodes)
{
    int file = 0;
    // The path, the file handle and flags given, the error left.
    const std::tuple<const char *, HANDLE, DWORD, DWORD> cases[] = {
        {"", nullptr, 0, ERROR_MOD_NOT_FOUND}, {"morvane-no-such-library.so", nullptr, 0, ERROR_MOD_NOT_FOUND},
        {nullptr, nullptr, 0, ERROR_INVALID_PARAMETER},
        {LOADER_FIXTURE_SOURCES, nullptr, LOAD_LIBRARY_AS_DATAFILE, ERROR_ACCESS_DENIED}, // a folder
        {LOADER_FIXTURE, &file, LOAD_LIBRARY_AS_DATAFILE, ERROR_INVALID_PARAMETER},
        {LOADER_FIXTURE, nullptr, DONT_RESOLVE_DLL_REFERENCES, ERROR_INVALID_PARAMETER},
    };
    for (const auto &[path, handle, flags, expected] : cases) {
        SetLastError(0);
        auto loaded = flags || handle ? LoadLibraryExA(path, handle, flags) : LoadLibraryA(path);
        EXPECT_EQ(loaded, nullptr);
        EXPECT_EQ(GetLastError(), expected) << (path ? path : "null");
    }
}

TEST(ModuleFileName, NamesTheProgramTheRuntimeItsSystemNamesAndTruncatesAsWindowsDoes)
{
    EXPECT_EQ(module_file_name(nullptr), std::filesystem::read_symlink("/proc/self/exe").string());
    // The runtime library was mapped by the dynamic linker at start-up.
    Dl_info runtime{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&LoadLibraryA), &runtime), 0);
    EXPECT_EQ(module_file_name(static_cast<HMODULE>(runtime.dli_fbase)),
              std::filesystem::absolute(runtime.dli_fname).lexically_normal());
    HMODULE system = LoadLibraryA("OLE32.DLL"); // the system libraries, by any case of their names
    EXPECT_EQ(static_cast<void *>(system), runtime.dli_fbase);
    EXPECT_TRUE(FreeLibrary(system));
    // Truncation as Windows does it: the count written, never past the size given.
    HMODULE module = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const std::string full = LOADER_FIXTURE;
    const DWORD length = DWORD(full.size());
    for (DWORD size : {length + 1, length, length - 1, DWORD(2), DWORD(1), DWORD(0)}) {
        std::string buffer(length + 16, 'X');
        SetLastError(0);
        const DWORD result = GetModuleFileNameA(module, buffer.data(), size);
        const bool fits = size > length;
        EXPECT_EQ(result, fits ? length : size) << size;
        EXPECT_EQ(GetLastError(), fits ? 0u : DWORD(ERROR_INSUFFICIENT_BUFFER)) << size;
        const std::string written = size ? full.substr(0, fits ? length : size - 1) + '\0' : "";
        EXPECT_EQ(buffer, written + std::string(length + 16 - written.size(), 'X')) << size;
    }
    EXPECT_TRUE(FreeLibrary(module));
    int not_a_module = 0;
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&not_a_module), nullptr, 0), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

}  // namespace
