// The loading paths behind LoadTypeLib.
#pragma once

#include <oatypelib.h>

#include <cstddef>
#include <cstdint>

namespace morvane::typelib {

// A library from the bytes of a type library file; the bytes are copied.
HRESULT load_from_bytes(const std::uint8_t *data, std::size_t size, ITypeLib **out);

// A library from a file: a type library file, or a module that carries one.
// TYPE_E_CANTLOADLIBRARY when the file is neither or cannot be read.
HRESULT load_from_file(const char *path, ITypeLib **out);

// A library from a module file's resource "TYPELIB" 1.
HRESULT load_from_module(const char *path, ITypeLib **out);

} // namespace morvane::typelib
