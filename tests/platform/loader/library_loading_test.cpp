// Loading modules for code and as data files, their entry points, exports and file names.
#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace loader_test;

namespace {

std::string module_file_name(HMODULE module)
{
    char path[4096] = {};
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    return std::string(path, length);
}

// Function pointers pass through the generic function type, as GetProcAddress hands them out.
template <typename Function>
Function as_function(FARPROC procedure)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(procedure));
}

template <typename Function>
FARPROC as_procedure(Function function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// The error a refused load leaves.
DWORD load_error(HMODULE module)
{
    EXPECT_EQ(module, nullptr);
    return GetLastError();
}

TEST(CodeModules, AreTheirElfHeaderAndExportOnlyTheirOwnNamedSymbols)
{
    HMODULE module = LoadLibraryA(LOADER_FIXTURE);
    ASSERT_NE(module, nullptr) << GetLastError();
    EXPECT_EQ(std::memcmp(module, "\x7f" "ELF", 4), 0);
    auto answer = as_function<int (*)()>(GetProcAddress(module, "fixture_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(answer), &info), 0);
    EXPECT_EQ(info.dli_fbase, static_cast<void *>(module));
    EXPECT_TRUE(DisableThreadLibraryCalls(module));
    int not_a_module = 0;
    const std::pair<HMODULE, LPCSTR> refused[] = {
        {module, "no_such_function"}, {module, "LoadLibraryA"}, {module, "malloc"}, {module, ""},
        {module, MAKEINTRESOURCE(1)}, {reinterpret_cast<HMODULE>(&not_a_module), "fixture_answer"},
    };
    for (const auto &[handle, name] : refused) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(handle, name), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(handle == module ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE));
    }
    EXPECT_TRUE(FreeLibrary(module));
    // The program's own exports, through the null handle.
    EXPECT_EQ(GetProcAddress(nullptr, "loader_test_observe_entry"), as_procedure(&loader_test_observe_entry));
}

// The reasons of the fixture's entry-point calls so far, each for the given module.
std::vector<DWORD> entry_reasons(HMODULE module)
{
    std::vector<DWORD> reasons;
    for (const EntryCall &call : entry_calls())
        reasons.push_back(call.module == module ? call.reason : DWORD(99));
    return reasons;
}

TEST(EntryPoint, RunsOnFirstLoadAndLastFreeNeverForDataFilesAndMayRefuse)
{
    entry_calls().clear();
    HMODULE data = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(data, "fixture_answer"), nullptr) << "a data file exports nothing";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_TRUE(entry_calls().empty()) << "a data file runs no code";

    HMODULE first = LoadLibraryA(LOADER_FIXTURE), second = LoadLibraryA(LOADER_FIXTURE);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_NE(GetProcAddress(second, "fixture_answer"), nullptr);
    EXPECT_EQ(entry_reasons(first), std::vector<DWORD>{DLL_PROCESS_ATTACH});
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(entry_reasons(first), (std::vector<DWORD>{DLL_PROCESS_ATTACH, DLL_PROCESS_DETACH}));
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(second));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

    entry_calls().clear();
    setenv("LOADER_FIXTURE_REFUSE_ATTACH", "1", 1);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(LOADER_FIXTURE), nullptr);
    const DWORD error = GetLastError();
    unsetenv("LOADER_FIXTURE_REFUSE_ATTACH");
    EXPECT_EQ(error, DWORD(ERROR_DLL_INIT_FAILED));
    ASSERT_EQ(entry_calls().size(), 2u);
    EXPECT_EQ(entry_reasons(entry_calls()[0].module), (std::vector<DWORD>{DLL_PROCESS_ATTACH, DLL_PROCESS_DETACH}));
    EXPECT_TRUE(FreeLibrary(LoadLibraryA(LOADER_FIXTURE))) << "a refused load leaves nothing behind";
}

TEST(LoadFailures, CarryTheWindowsErrorCodes)
{
    ScratchDirectory scratch;
    const std::string missing = scratch.file("missing.so");
    const std::string text = scratch.write("text.so", {'n', 'o', 't', ' ', 'E', 'L', 'F', '\n'}).string();
    const DWORD data = LOAD_LIBRARY_AS_DATAFILE;
    int file = 0;
    EXPECT_EQ(load_error(LoadLibraryA(missing.c_str())), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(load_error(LoadLibraryA("morvane-no-such-library.so")), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(load_error(LoadLibraryA("")), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(load_error(LoadLibraryExA(missing.c_str(), nullptr, data)), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(load_error(LoadLibraryA(text.c_str())), DWORD(ERROR_BAD_FORMAT));
    EXPECT_EQ(load_error(LoadLibraryExA(text.c_str(), nullptr, data)), DWORD(ERROR_BAD_FORMAT));
    EXPECT_EQ(load_error(LoadLibraryExA(scratch.path().c_str(), nullptr, data)), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(load_error(LoadLibraryA(nullptr)), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(load_error(LoadLibraryExA(LOADER_FIXTURE, &file, data)), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(load_error(LoadLibraryExA(LOADER_FIXTURE, nullptr, DONT_RESOLVE_DLL_REFERENCES)),
              DWORD(ERROR_INVALID_PARAMETER));
}

TEST(LoadPaths, RelativeNamesAreReportedAsFullPaths)
{
    ScratchDirectory scratch;
    std::filesystem::copy_file(LOADER_FIXTURE, scratch.file("copy.so"));
    const std::string previous = std::filesystem::current_path().string();
    std::filesystem::current_path(scratch.path());
    HMODULE code = LoadLibraryA("./copy.so");
    HMODULE data = LoadLibraryExA("copy.so", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::filesystem::current_path(previous);

    ASSERT_NE(code, nullptr) << GetLastError();
    ASSERT_NE(data, nullptr) << GetLastError();
    EXPECT_EQ(module_file_name(code), scratch.file("copy.so"));
    EXPECT_EQ(module_file_name(data), scratch.file("copy.so"));
    // The resources of the code module are read from its own file after the directory changed.
    EXPECT_EQ(resource_bytes(code, MAKEINTRESOURCE(1), "TYPELIB"), read_file(fixture_source("library.bin")));
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_TRUE(FreeLibrary(code));
}

TEST(ModuleFileName, NamesTheProgramTheRuntimeAndItsSystemLibraryNames)
{
    EXPECT_EQ(module_file_name(nullptr), std::filesystem::read_symlink("/proc/self/exe").string());
    // The runtime library was mapped by the dynamic linker at start-up.
    Dl_info runtime{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&LoadLibraryA), &runtime), 0);
    const auto runtime_path = std::filesystem::absolute(runtime.dli_fname).lexically_normal();
    EXPECT_EQ(module_file_name(static_cast<HMODULE>(runtime.dli_fbase)), runtime_path);
    for (const char *name : {"oleaut32.dll", "OLE32.DLL", "Kernel32.dll"}) {
        HMODULE module = LoadLibraryA(name);
        EXPECT_EQ(static_cast<void *>(module), runtime.dli_fbase) << name;
        EXPECT_EQ(GetProcAddress(module, "LoadLibraryA"), as_procedure(&LoadLibraryA));
        EXPECT_TRUE(FreeLibrary(module));
    }
    int not_a_module = 0;
    char path[64] = "untouched";
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&not_a_module), path, sizeof path), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST(ModuleFileName, TruncatesAsWindowsDoes)
{
    HMODULE module = LoadLibraryExA(LOADER_FIXTURE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const std::string full = LOADER_FIXTURE;
    const DWORD length = DWORD(full.size());

    for (DWORD size : {length + 1, length, length - 1, DWORD(2), DWORD(1)}) {
        std::string buffer(length + 16, 'X');
        SetLastError(0);
        const DWORD result = GetModuleFileNameA(module, buffer.data(), size);
        if (size > length) {
            EXPECT_EQ(result, length);
            EXPECT_EQ(GetLastError(), 0u);
            EXPECT_EQ(std::string(buffer.c_str()), full);
        } else {
            EXPECT_EQ(result, size) << size;
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
            EXPECT_EQ(std::string(buffer.c_str()), full.substr(0, size - 1));
        }
        // Nothing is written past the buffer's size.
        EXPECT_EQ(buffer.find_first_not_of('X', size), std::string::npos) << size;
    }

    char untouched[4] = {'X', 'X', 'X', 'X'};
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(module, untouched, 0), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(untouched[0], 'X');
    EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
