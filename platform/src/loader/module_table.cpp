// The loader's table of loaded modules, mapped data files and cached resource sections,
// each looked up under the loader lock.
#include "loader/module_table.h"

#include "loader/elf_file.h"

#include <winbase.h>

namespace morvane::loader {

ModuleTable &ModuleTable::instance()
{
    // Never destroyed: modules may still be released from other libraries'
    // destructors while the process exits.
    static ModuleTable *table = new ModuleTable;
    return *table;
}

HMODULE ModuleTable::add_data_file(std::unique_ptr<DataFileModule> module)
{
    DataFileModule *raw = module.get();
    data_files_.insert(raw);
    module.release();
    return reinterpret_cast<HMODULE>(reinterpret_cast<uintptr_t>(raw) | 1u);
}

DataFileModule *ModuleTable::data_file(HMODULE handle)
{
    auto *candidate =
        reinterpret_cast<DataFileModule *>(reinterpret_cast<uintptr_t>(handle) & ~uintptr_t(1));
    return data_files_.count(candidate) != 0 ? candidate : nullptr;
}

bool ModuleTable::remove_data_file(HMODULE handle)
{
    DataFileModule *module = data_file(handle);
    if (module == nullptr)
        return false;
    data_files_.erase(module);
    delete module;
    return true;
}

const ResourceSection *ModuleTable::code_resources(HMODULE base, const std::string &path,
                                                   DWORD &error)
{
    auto found = code_resources_.find(base);
    if (found == code_resources_.end() || found->second.path != path) {
        CodeModuleResources entry;
        entry.path = path;
        error = read_resource_section(path, entry.resources);
        if (error != 0)
            return nullptr;
        found = code_resources_.insert_or_assign(base, std::move(entry)).first;
    }
    if (!found->second.resources) {
        error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return nullptr;
    }
    return found->second.resources.get();
}

}  // namespace morvane::loader
