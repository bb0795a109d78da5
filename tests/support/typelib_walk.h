// Loads type libraries from memory and walks everything a loaded library offers;
// shared by the tests and the fuzz target of the type library reader.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace test_support {

// LoadTypeLib of bytes, passed as an in-memory file (no disk traffic).
HRESULT load_memory(const std::vector<std::uint8_t> &bytes, ITypeLib **library);

// Calls every reading member of the library and of each type description reachable
// from it, releasing everything it gets. Returns the number of members seen.
std::size_t walk(ITypeLib *library);

} // namespace test_support
