#include "automation/variant_types.h"

namespace morvane::platform {

ULONG array_element_size(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(void *);
    case VT_DECIMAL:
        return sizeof(DECIMAL);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
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

} // namespace morvane::platform
