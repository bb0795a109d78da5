// Platform strings made from the library's strings.
#pragma once

#include "typelib/library_model.h"

namespace morvane::typelib {

// Writes a new BSTR of the library string `index` (null for no_index) to `out` when `out`
// is not null. False only when memory is short.
bool copy_string(const LibraryModel &library, std::uint32_t index, BSTR *out);

// The name, documentation, help context and help file of one item: the four outputs
// of GetDocumentation, each optional. On failure nothing is left allocated.
HRESULT documentation(const LibraryModel &library, std::uint32_t name, std::uint32_t doc,
                      DWORD help_context, BSTR *pBstrName, BSTR *pBstrDocString,
                      DWORD *pdwHelpContext, BSTR *pBstrHelpFile);

} // namespace morvane::typelib
