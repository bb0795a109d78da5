// Helpers of the type library tests: the compiled type library of the component,
// text conversions and loading from a file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "scratch_folder.h"
#include "typelib_walk.h"

namespace typelib_test {

using test_support::load_memory;
using test_support::walk;

// The component's type library as the build compiled it.
std::vector<std::uint8_t> component_typelib();

using test_support::ScratchFolder;

std::u16string wide(const std::string &text);
std::string narrow(const OLECHAR *text);

// LoadTypeLib of a file.
HRESULT load(const std::filesystem::path &file, ITypeLib **library);

} // namespace typelib_test
