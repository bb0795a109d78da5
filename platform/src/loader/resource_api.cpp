// FindResourceA, LoadResource, LockResource, SizeofResource on data-file handles
// and on code modules (whose resources are read from their files).
#include "loader/loaded_images.h"
#include "loader/module_table.h"

#include <winbase.h>

#include <new>

using namespace morvane::loader;

namespace {

// The resource section of a module handle (null: the program), or null with error set.
// Called under the loader lock.
const ResourceSection *section_of(HMODULE module, DWORD &error)
{
    ModuleTable &table = ModuleTable::instance();
    if (ModuleTable::is_data_file_handle(module)) {
        const DataFileModule *data = table.data_file(module);
        if (data == nullptr) {
            error = ERROR_INVALID_HANDLE;
            return nullptr;
        }
        if (!data->resources) {
            error = ERROR_RESOURCE_DATA_NOT_FOUND;
            return nullptr;
        }
        return data->resources.get();
    }
    std::optional<LoadedImage> image;
    auto found = table.code_modules().find(module);
    if (found != table.code_modules().end())
        image = LoadedImage{module, found->second.path};
    else
        image = module == nullptr ? main_image() : image_at(module);
    if (!image) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    return table.code_resources(image->base, image->path, error);
}

const ResourceEntry *entry_of(HMODULE module, HRSRC resource, const ResourceSection *&section)
{
    DWORD error = 0;
    section = section_of(module, error);
    const auto *entry = reinterpret_cast<const ResourceEntry *>(resource);
    if (section == nullptr || !section->owns(entry)) {
        SetLastError(section == nullptr ? error : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return entry;
}

}  // namespace

extern "C" {

MVAPI HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    ModuleTable &table = ModuleTable::instance();
    std::lock_guard guard(table.lock());
    try {
        ResourceId type;
        ResourceId name;
        if (!resource_id_from_argument(lpType, type)) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return nullptr;
        }
        if (!resource_id_from_argument(lpName, name)) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        DWORD error = 0;
        const ResourceSection *section = section_of(hModule, error);
        const ResourceEntry *entry = section ? section->find(type, name, error) : nullptr;
        if (entry == nullptr) {
            SetLastError(error);
            return nullptr;
        }
        return reinterpret_cast<HRSRC>(const_cast<ResourceEntry *>(entry));
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

MVAPI HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo)
{
    ModuleTable &table = ModuleTable::instance();
    std::lock_guard guard(table.lock());
    try {
        const ResourceSection *section = nullptr;
        const ResourceEntry *entry = entry_of(hModule, hResInfo, section);
        if (entry == nullptr)
            return nullptr;
        return const_cast<std::byte *>(section->data(*entry));
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

MVAPI LPVOID LockResource(HGLOBAL hResData)
{
    // Resource data is kept in memory for as long as its module: nothing to lock.
    return hResData;
}

MVAPI DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo)
{
    ModuleTable &table = ModuleTable::instance();
    std::lock_guard guard(table.lock());
    try {
        const ResourceSection *section = nullptr;
        const ResourceEntry *entry = entry_of(hModule, hResInfo, section);
        return entry ? entry->size : 0;
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

}  // extern "C"
