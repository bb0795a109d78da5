// The platform's own interfaces that definitions derive from: IUnknown and IDispatch,
// known from the runtime's headers and from the standard library stdole2.tlb.
#pragma once

#include "model.h"

#include <string_view>

namespace idl {

// Appends IUnknown (index iunknown_index) and IDispatch (index idispatch_index).
void add_builtin_interfaces(Module &module);

// Whether "import" of this file names the platform's own definitions.
bool is_platform_import(std::string_view file);

// Whether "importlib" of this file names the standard library.
bool is_standard_library(std::string_view file);

} // namespace idl
