// The type words a variant or a safe array may carry and their element sizes, read
// from the shared variant type table.
#include "automation/variant_types.h"

#include <variant_type_table.h>

namespace morvane::automation {

static_assert(vartype::find(VT_VARIANT)->size == sizeof(VARIANT), "VARIANT size in the type table");
static_assert(vartype::find(VT_DECIMAL)->size == sizeof(DECIMAL), "DECIMAL size in the type table");

ULONG array_element_size(VARTYPE vt)
{
    const vartype::Info *info = vartype::find(vt);
    return info != nullptr && (info->uses & vartype::array_element) ? info->size : 0;
}

bool is_valid_variant_type(VARTYPE vt)
{
    if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF))
        return false;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (vt & VT_ARRAY)
        return array_element_size(base) != 0;
    switch (base) {
    case VT_EMPTY:
    case VT_NULL:
        return (vt & VT_BYREF) == 0;
    case VT_VARIANT:
        return (vt & VT_BYREF) != 0; // a variant holds another only by reference
    default:
        return array_element_size(base) != 0;
    }
}

} // namespace morvane::automation
