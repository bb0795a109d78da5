// Gives the syntax tree its meaning: checks every declaration and assigns table slots,
// member identifiers and the library's order.
#pragma once

#include "ast.h"
#include "model.h"

namespace idl {

// Throws CompileError, located at the offending declaration, for anything the compiler
// cannot give a sound meaning to.
Module analyze(const ast::File &file);

} // namespace idl
