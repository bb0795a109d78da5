// The base types the compiler knows: their automation type numbers and C spellings.
#pragma once

#include "ast.h"
#include "model.h"

namespace idl {

// Resolves a written type; throws CompileError for unknown or malformed types.
Type resolve_type(const ast::TypeSpec &spec);

// Whether a type may appear in an automation-compatible (dual or oleautomation) member.
bool is_automation_type(const Type &type);

} // namespace idl
