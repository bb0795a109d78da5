// Writes the binary type library of a checked definition's library block.
#pragma once

#include "model.h"

#include <string>

namespace idl {

// The bytes of the type library; throws CompileError when the definition has no
// library block or exceeds the format's limits.
std::string write_typelib(const Module &module);

} // namespace idl
