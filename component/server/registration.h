// Self-registration: the class's registry entries from the registration script
// carried in the module's file, and the registration of its type library.
#pragma once

#include <windows.h>

namespace morvane {

// The registration routine of CoMorvane in the class table.
HRESULT update_class_registration(bool install);
// Applies or removes the "REGISTRY" script resource of the given number.
HRESULT apply_registration_script(WORD resource, bool install);

HRESULT register_module(bool include_type_library);
HRESULT unregister_module(bool include_type_library);

// Loads the module's type library (its "TYPELIB" resource, else the .tlb beside it).
HRESULT load_module_type_library(ITypeLib **library, BSTR *path);
HRESULT register_module_type_library();
HRESULT unregister_module_type_library();

// Length of the directory part of a path, its trailing separator included.
UINT help_directory_length(LPCOLESTR path);

} // namespace morvane
