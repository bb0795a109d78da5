// Reads the bytes of a type library into a model without trusting them: every
// offset, count, length, index and flag is checked before it is used.
#pragma once

#include "typelib/library_model.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace morvane::typelib {

// Whether the bytes start like a type library of this format.
bool has_typelib_magic(const std::uint8_t *data, std::size_t size);

// S_OK with the model; TYPE_E_UNSUPFORMAT for another major version of the format;
// TYPE_E_INVDATAREAD for anything truncated or inconsistent; E_OUTOFMEMORY.
HRESULT read_typelib(const std::uint8_t *data, std::size_t size,
                     std::unique_ptr<LibraryModel> &model);

} // namespace morvane::typelib
