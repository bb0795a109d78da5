// Writes the C/C++ header of a checked definition: identifiers, and each interface
// as a struct of pure virtual functions (C++) or an explicit table (C).
#pragma once

#include "model.h"

#include <string>
#include <string_view>

namespace idl {

// header_name names the generated file (for its include guard), source_name the
// definition it came from (for its first comment).
std::string write_header(const Module &module, std::string_view header_name,
                         std::string_view source_name);

} // namespace idl
