// The description blocks handed to callers: each is one allocation that the matching
// Release member frees.
#pragma once

#include "typelib/type_view.h"

namespace morvane::typelib {

// Null when memory is short.
TYPEATTR *make_type_attr(const TypeView &view);
void free_type_attr(TYPEATTR *attr);

// The member's description in the view: in a dispatch view the [out, retval]
// parameter becomes the result and an HRESULT result becomes VT_VOID. Null when
// memory is short.
FUNCDESC *make_func_desc(const TypeView &view, std::uint32_t index);
void free_func_desc(FUNCDESC *desc);

TLIBATTR *make_lib_attr(const LibraryModel &library);
void free_lib_attr(TLIBATTR *attr);

} // namespace morvane::typelib
