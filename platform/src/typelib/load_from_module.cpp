// Type libraries carried by module files as their resource "TYPELIB" 1.
#include "typelib/load_type_lib.h"

namespace mvtl {

HRESULT load_from_module(const char *, ITypeLib **out)
{
    // Module resources are read through the loader's data-file mapping, which this
    // runtime does not offer yet.
    *out = nullptr;
    return TYPE_E_CANTLOADLIBRARY;
}

} // namespace mvtl
