// GetModuleFileNameA: the full path of a code module, of the program, or of a data file.
#include "loader/loaded_images.h"
#include "loader/module_table.h"

#include <winbase.h>

#include <cstring>
#include <new>

using namespace morvane::loader;

namespace {

// The path of the module, or false when the handle names none.
bool module_path(HMODULE module, std::string &path)
{
    if (module == nullptr) {
        path = executable_path();
        return !path.empty();
    }
    ModuleTable &table = ModuleTable::instance();
    std::lock_guard guard(table.lock());
    if (ModuleTable::is_data_file_handle(module)) {
        const DataFileModule *data = table.data_file(module);
        if (data == nullptr)
            return false;
        path = data->path;
        return true;
    }
    auto found = table.code_modules().find(module);
    if (found != table.code_modules().end()) {
        path = found->second.path;
        return true;
    }
    const std::optional<LoadedImage> image = image_at(module);
    if (!image)
        return false;
    path = image->path;
    return true;
}

}  // namespace

extern "C" MVAPI DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    std::string path;
    try {
        if (!module_path(hModule, path)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (lpFilename == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (path.size() < nSize) {
        std::memcpy(lpFilename, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    // Too small: as on Windows, the first nSize - 1 characters and a terminator,
    // the buffer's size as the result, and ERROR_INSUFFICIENT_BUFFER.
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}
