// LoadLibraryA, LoadLibraryExA, FreeLibrary, GetProcAddress, DisableThreadLibraryCalls.
//
// Code modules are shared objects opened with dlopen; a module's handle is the
// address of its ELF header. The loader calls a module's exported entry point
//   BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
// with DLL_PROCESS_ATTACH when LoadLibrary first loads it and with
// DLL_PROCESS_DETACH before the last FreeLibrary unloads it, under the loader lock.
// Data files (LOAD_LIBRARY_AS_DATAFILE) are only read: nothing of them runs.
#include "loader/elf_file.h"
#include "loader/loaded_images.h"
#include "loader/module_table.h"

#include <winbase.h>

#include <cstring>
#include <dlfcn.h>
#include <new>
#include <strings.h>

using namespace morvane::loader;

namespace {

using DllEntryPoint = BOOL (*)(HINSTANCE, DWORD, LPVOID);

// The system libraries whose services this runtime library itself provides.
constexpr const char *runtime_aliases[] = {"kernel32.dll", "user32.dll", "advapi32.dll",
                                           "ole32.dll", "oleaut32.dll"};

bool is_runtime_alias(const char *name)
{
    for (const char *alias : runtime_aliases)
        if (strcasecmp(name, alias) == 0)
            return true;
    return false;
}

std::string runtime_library_path()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&LoadLibraryA), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return absolute_path(info.dli_fname);
}

// The symbol lies in the module at base itself, not in one of its dependencies.
bool defined_in(void *symbol, HMODULE base)
{
    Dl_info info{};
    return symbol != nullptr && dladdr(symbol, &info) != 0 && info.dli_fbase == base;
}

DllEntryPoint entry_point(void *dl_handle, HMODULE base)
{
    void *symbol = dlsym(dl_handle, "DllMain");
    if (!defined_in(symbol, base))
        return nullptr;
    return reinterpret_cast<DllEntryPoint>(symbol);
}

// A file named by path is checked before the dynamic linker maps it; a missing file,
// like a module that the search does not find, is ERROR_MOD_NOT_FOUND.
DWORD check_before_loading(const std::string &path)
{
    if (path.find('/') == std::string::npos)
        return 0;
    const DWORD error = check_code_image(path);
    return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? ERROR_MOD_NOT_FOUND : error;
}

HMODULE load_code_module(const char *name)
{
    std::string path;
    if (is_runtime_alias(name))
        path = runtime_library_path();
    else if (std::strchr(name, '/') != nullptr)
        path = absolute_path(name);  // the dynamic linker records the name as given
    else
        path = name;
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }

    if (const DWORD error = check_before_loading(path)) {
        SetLastError(error);
        return nullptr;
    }
    ModuleTable &table = ModuleTable::instance();
    std::lock_guard guard(table.lock());
    // What fails after the checks is most often a missing dependency.
    void *dl_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (dl_handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const std::optional<LoadedImage> image = image_of_dl_handle(dl_handle);
    if (!image) {
        dlclose(dl_handle);
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }

    auto &modules = table.code_modules();
    auto found = modules.find(image->base);
    if (found != modules.end()) {
        // Already loaded through this loader: one more reference, one dlopen handle kept.
        ++found->second.references;
        dlclose(dl_handle);
        return image->base;
    }
    CodeModule &module = modules[image->base];
    module.dl_handle = dl_handle;
    module.path = image->path;
    module.references = 1;

    if (DllEntryPoint entry = entry_point(dl_handle, image->base)) {
        if (!entry(image->base, DLL_PROCESS_ATTACH, nullptr)) {
            entry(image->base, DLL_PROCESS_DETACH, nullptr);
            modules.erase(image->base);
            table.forget_code_resources(image->base);
            dlclose(dl_handle);
            SetLastError(ERROR_DLL_INIT_FAILED);
            return nullptr;
        }
    }
    return image->base;
}

HMODULE load_data_file(const char *name)
{
    auto module = std::make_unique<DataFileModule>();
    module->path = absolute_path(name);
    const DWORD error = read_resource_section(module->path, module->resources);
    if (error != 0) {
        SetLastError(error);
        return nullptr;
    }
    ModuleTable &table = ModuleTable::instance();
    std::lock_guard guard(table.lock());
    return table.add_data_file(std::move(module));
}

// The dlopen handle for a code module, and whether the caller must close it.
void *dl_handle_for(HMODULE module, bool &close_after)
{
    close_after = false;
    ModuleTable &table = ModuleTable::instance();
    auto found = table.code_modules().find(module);
    if (found != table.code_modules().end())
        return found->second.dl_handle;
    const std::optional<LoadedImage> main = main_image();
    if (main && main->base == module) {
        close_after = true;
        return dlopen(nullptr, RTLD_LAZY);
    }
    const std::optional<LoadedImage> image = image_at(module);
    if (!image)
        return nullptr;
    close_after = true;
    return dlopen(image->path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
}

}  // namespace

extern "C" {

MVAPI HMODULE LoadLibraryA(LPCSTR lpLibFileName)
{
    return LoadLibraryExA(lpLibFileName, nullptr, 0);
}

MVAPI HMODULE LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags)
{
    if (lpLibFileName == nullptr || hFile != nullptr ||
        (dwFlags & ~DWORD(LOAD_LIBRARY_AS_DATAFILE)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (*lpLibFileName == '\0') {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    try {
        return (dwFlags & LOAD_LIBRARY_AS_DATAFILE) ? load_data_file(lpLibFileName)
                                                    : load_code_module(lpLibFileName);
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

MVAPI BOOL FreeLibrary(HMODULE hLibModule)
{
    ModuleTable &table = ModuleTable::instance();
    std::lock_guard guard(table.lock());
    if (ModuleTable::is_data_file_handle(hLibModule)) {
        if (table.remove_data_file(hLibModule))
            return TRUE;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto &modules = table.code_modules();
    auto found = modules.find(hLibModule);
    if (found == modules.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--found->second.references > 0)
        return TRUE;
    void *dl_handle = found->second.dl_handle;
    if (DllEntryPoint entry = entry_point(dl_handle, hLibModule))
        entry(hLibModule, DLL_PROCESS_DETACH, nullptr);
    modules.erase(found);
    table.forget_code_resources(hLibModule);
    dlclose(dl_handle);
    return TRUE;
}

MVAPI FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    if (lpProcName == nullptr || IS_INTRESOURCE(lpProcName)) {
        // Modules here export by name only.
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    ModuleTable &table = ModuleTable::instance();
    std::lock_guard guard(table.lock());
    try {
        if (ModuleTable::is_data_file_handle(hModule)) {
            SetLastError(table.data_file(hModule) ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
            return nullptr;
        }
        if (hModule == nullptr) {
            const std::optional<LoadedImage> main = main_image();
            if (main)
                hModule = main->base;
        }
        bool close_after = false;
        void *dl_handle = dl_handle_for(hModule, close_after);
        if (dl_handle == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        void *symbol = dlsym(dl_handle, lpProcName);
        if (close_after)
            dlclose(dl_handle);
        if (!defined_in(symbol, hModule)) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        return reinterpret_cast<FARPROC>(symbol);
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

MVAPI BOOL DisableThreadLibraryCalls(HMODULE)
{
    // No thread notifications are ever sent on this platform: nothing to switch off.
    return TRUE;
}

}  // extern "C"
