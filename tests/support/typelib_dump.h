// A text dump of a loaded type library: identifiers, versions, flags, every type and
// member with its slot, dispatch ID, kind, parameter names, types and flags, and the
// base interfaces it reaches. Tests compare it with committed or literal texts.
#pragma once

#include <windows.h>

#include <string>

namespace test_support {

// Dumps the library and releases it. With `imports`, the types reached in other
// libraries are dumped too. The library must be intact (every read succeeds).
std::string dump(ITypeLib *library, bool imports);

} // namespace test_support
