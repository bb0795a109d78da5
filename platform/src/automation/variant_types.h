// Which type words a variant or a safe array may carry, and element sizes.
#pragma once

#include <oleauto.h>

namespace morvane::automation {

// The element size of a safe array of base type vt, or 0 when arrays of vt do not exist.
ULONG array_element_size(VARTYPE vt);

// True when vt (with its VT_ARRAY / VT_BYREF bits) is a type a variant may hold.
bool is_valid_variant_type(VARTYPE vt);

} // namespace morvane::automation
