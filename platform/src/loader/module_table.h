// The loader's state: the modules loaded through LoadLibrary, the data files mapped
// for their resources, and the resource sections read from code modules' files.
// One recursive lock (the loader lock) guards it all; entry points run under it.
#pragma once

#include "loader/resource_section.h"

#include <wintypes.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace morvane::loader {

// A file mapped with LOAD_LIBRARY_AS_DATAFILE: only its path and resources.
struct DataFileModule {
    std::string path;
    std::unique_ptr<ResourceSection> resources;  // null when the file has none
};

// A module loaded for code through LoadLibrary.
struct CodeModule {
    void *dl_handle = nullptr;
    std::string path;
    unsigned references = 0;
};

// Resources of a code module, read from its file on first use.
struct CodeModuleResources {
    std::string path;
    std::unique_ptr<ResourceSection> resources;  // null when the file has none
};

class ModuleTable {
public:
    static ModuleTable &instance();

    std::recursive_mutex &lock() { return lock_; }

    // Data-file handles carry the low bit set, as on Windows, which no module base has.
    static bool is_data_file_handle(HMODULE handle)
    {
        return (reinterpret_cast<uintptr_t>(handle) & 1u) != 0;
    }
    HMODULE add_data_file(std::unique_ptr<DataFileModule> module);
    DataFileModule *data_file(HMODULE handle);
    bool remove_data_file(HMODULE handle);

    std::map<HMODULE, CodeModule> &code_modules() { return code_; }

    // The resource section of the code module at base, read from path on first
    // use (and again when another file is now mapped there). Sets error on failure.
    const ResourceSection *code_resources(HMODULE base, const std::string &path, DWORD &error);
    void forget_code_resources(HMODULE base) { code_resources_.erase(base); }

private:
    ModuleTable() = default;

    std::recursive_mutex lock_;
    std::set<DataFileModule *> data_files_;
    std::map<HMODULE, CodeModule> code_;
    std::map<HMODULE, CodeModuleResources> code_resources_;
};

}  // namespace morvane::loader
