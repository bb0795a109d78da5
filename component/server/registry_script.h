// A registration script run: its variables and the application of a script
// resource of a module file to the registry. Made and destroyed within one
// registration call.
#pragma once

#include <objbase.h>

namespace morvane {

// One variable: both strings on the task allocator, the record on the module heaps.
struct ScriptVariable {
    LPOLESTR name;
    LPOLESTR value;
};

class RegistryScript {
public:
    RegistryScript() = default;
    // Clears the variables and frees the list.
    ~RegistryScript();
    RegistryScript(const RegistryScript &) = delete;
    RegistryScript &operator=(const RegistryScript &) = delete;

    // Adds a copy of the pair at the end of the list (duplicates allowed: the first
    // wins). E_OUTOFMEMORY when a copy or the list's growth fails (nothing added);
    // E_INVALIDARG for a null string.
    HRESULT set_variable(LPCOLESTR name, LPCOLESTR value);
    // The value of the first variable whose name equals `name` without regard to
    // case, or null.
    LPCOLESTR find_variable(LPCSTR name) const;
    // Frees every pair; the list stays, empty.
    void clear_variables();

    // Loads the script resource (number, type) of the module file and runs it:
    // installs it when `install` is true, removes it otherwise.
    HRESULT apply_resource(LPCOLESTR module_path, WORD resource_number, LPCOLESTR resource_type,
                           bool install);

    DWORD variable_count() const { return count_; }
    DWORD variable_capacity() const { return capacity_; }

private:
    ScriptVariable **variables_ = nullptr;
    DWORD count_ = 0;
    DWORD capacity_ = 0;
};

} // namespace morvane
