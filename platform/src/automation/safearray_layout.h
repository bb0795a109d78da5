// How this runtime lays out the safe arrays it creates, and the element work
// shared by destroying and copying them.
//
// A descriptor is allocated with a 16-byte prefix in front of it. With
// FADF_HAVEIID the prefix holds the elements' interface identifier; with
// FADF_HAVEVARTYPE its last four bytes hold the element type. The element block
// is a separate allocation.
#pragma once

#include <oleauto.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace morvane::automation {

constexpr std::size_t safearray_prefix_size = 16;
constexpr std::size_t safearray_vartype_offset = 4; // counted back from the descriptor
constexpr USHORT safearray_owning_features = FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT;
// Arrays with any of these flags were not allocated by this runtime; it frees neither
// their descriptor nor their elements' block.
constexpr USHORT safearray_foreign_storage = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED;

inline SAFEARRAYBOUND *bounds_of(SAFEARRAY *psa) { return psa->rgsabound; }
inline const SAFEARRAYBOUND *bounds_of(const SAFEARRAY *psa) { return psa->rgsabound; }

// Bytes of a descriptor with cDims bounds.
inline std::size_t descriptor_size(UINT cDims)
{
    return offsetof(SAFEARRAY, rgsabound) + std::size_t{cDims} * sizeof(SAFEARRAYBOUND);
}

// The number of elements over all dimensions, or nothing when it does not fit in 64 bits.
std::optional<std::uint64_t> element_count(const SAFEARRAY *psa);

// Releases what the elements own (strings, interfaces, variants) and zeroes them.
void release_elements(SAFEARRAY *psa);

// Copies count elements from src into the zeroed element block of dst: strings
// and variants deeply, interfaces with a new reference. On failure the elements
// copied so far stay in dst for the caller to release.
HRESULT copy_elements(const SAFEARRAY *src, SAFEARRAY *dst, std::uint64_t count);

} // namespace morvane::automation
