// Creating, copying and destroying safe arrays.
#include "automation/safearray_layout.h"
#include "automation/variant_types.h"

#include <climits>
#include <cstdlib>
#include <cstring>

using namespace morvane::automation;

namespace {

USHORT features_for(VARTYPE vt)
{
    switch (vt) {
    case VT_BSTR:
        return FADF_BSTR | FADF_HAVEVARTYPE;
    case VT_VARIANT:
        return FADF_VARIANT | FADF_HAVEVARTYPE;
    case VT_UNKNOWN:
        return FADF_UNKNOWN | FADF_HAVEIID;
    case VT_DISPATCH:
        return FADF_DISPATCH | FADF_HAVEIID;
    default:
        return FADF_HAVEVARTYPE;
    }
}

unsigned char *prefix_of(SAFEARRAY *psa) { return reinterpret_cast<unsigned char *>(psa) - safearray_prefix_size; }

// A descriptor of cDims dimensions, all fields zero, inside its prefixed block.
SAFEARRAY *allocate_descriptor(UINT cDims)
{
    auto *block = static_cast<unsigned char *>(std::calloc(1, safearray_prefix_size + descriptor_size(cDims)));
    if (block == nullptr)
        return nullptr;
    auto *psa = reinterpret_cast<SAFEARRAY *>(block + safearray_prefix_size);
    psa->cDims = static_cast<USHORT>(cDims);
    return psa;
}

void free_descriptor(SAFEARRAY *psa) { std::free(prefix_of(psa)); }

// The element block's byte size, or nothing when it overflows or no object can be that large.
std::optional<std::size_t> data_size(const SAFEARRAY *psa)
{
    const auto count = element_count(psa);
    std::uint64_t bytes;
    if (!count || __builtin_mul_overflow(*count, std::uint64_t{psa->cbElements}, &bytes) ||
        bytes > static_cast<std::uint64_t>(PTRDIFF_MAX))
        return std::nullopt;
    return static_cast<std::size_t>(bytes);
}

// A dimension whose upper bound is not a LONG could not be indexed to its end.
bool bound_is_representable(const SAFEARRAYBOUND &bound)
{
    const std::int64_t upper = std::int64_t{bound.lLbound} + bound.cElements - 1;
    return upper >= INT32_MIN && upper <= INT32_MAX;
}

bool allocate_data(SAFEARRAY *psa)
{
    const auto bytes = data_size(psa);
    if (!bytes)
        return false;
    // Elements start zeroed: empty variants, null strings and null interfaces.
    psa->pvData = std::calloc(1, *bytes == 0 ? 1 : *bytes);
    return psa->pvData != nullptr;
}

void store_element_type(SAFEARRAY *psa, VARTYPE vt)
{
    if (psa->fFeatures & FADF_HAVEIID) {
        const IID &iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
        std::memcpy(prefix_of(psa), &iid, sizeof iid);
    } else if (psa->fFeatures & FADF_HAVEVARTYPE) {
        const DWORD stored = vt;
        std::memcpy(reinterpret_cast<unsigned char *>(psa) - safearray_vartype_offset, &stored, sizeof stored);
    }
}

void copy_prefix(const SAFEARRAY *from, SAFEARRAY *to)
{
    if (from->fFeatures & FADF_HAVEIID)
        std::memcpy(prefix_of(to), reinterpret_cast<const unsigned char *>(from) - safearray_prefix_size, sizeof(IID));
    else if (from->fFeatures & FADF_HAVEVARTYPE)
        std::memcpy(reinterpret_cast<unsigned char *>(to) - safearray_vartype_offset,
                    reinterpret_cast<const unsigned char *>(from) - safearray_vartype_offset, sizeof(DWORD));
}

} // namespace

EXTERN_C SAFEARRAY *SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND *rgsabound)
{
    const ULONG element_size = array_element_size(vt);
    if (element_size == 0 || cDims == 0 || cDims > USHRT_MAX || rgsabound == nullptr)
        return nullptr;
    for (UINT d = 0; d < cDims; ++d) {
        if (!bound_is_representable(rgsabound[d]))
            return nullptr;
    }
    SAFEARRAY *psa = allocate_descriptor(cDims);
    if (psa == nullptr)
        return nullptr;
    psa->fFeatures = features_for(vt);
    psa->cbElements = element_size;
    // The caller lists dimension 1 first; the descriptor stores it last.
    SAFEARRAYBOUND *stored = bounds_of(psa);
    for (UINT d = 0; d < cDims; ++d)
        stored[cDims - 1 - d] = rgsabound[d];
    store_element_type(psa, vt);
    if (!allocate_data(psa)) {
        free_descriptor(psa);
        return nullptr;
    }
    return psa;
}

EXTERN_C SAFEARRAY *SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    SAFEARRAYBOUND bound = {cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

EXTERN_C HRESULT SafeArrayDestroy(SAFEARRAY *psa)
{
    if (psa == nullptr)
        return S_OK;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    release_elements(psa);
    if (psa->fFeatures & safearray_foreign_storage)
        return S_OK;
    std::free(psa->pvData);
    psa->pvData = nullptr;
    free_descriptor(psa);
    return S_OK;
}

EXTERN_C HRESULT SafeArrayCopy(SAFEARRAY *psa, SAFEARRAY **ppsaOut)
{
    if (ppsaOut == nullptr)
        return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (psa == nullptr)
        return S_OK; // a null array copies as a null array
    if (psa->cDims == 0)
        return E_INVALIDARG;
    const auto count = element_count(psa);
    if (!count || !data_size(psa))
        return E_OUTOFMEMORY;

    SAFEARRAY *copy = allocate_descriptor(psa->cDims);
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    copy->fFeatures = static_cast<USHORT>(psa->fFeatures & ~safearray_foreign_storage);
    copy->cbElements = psa->cbElements;
    std::memcpy(bounds_of(copy), bounds_of(psa), std::size_t{psa->cDims} * sizeof(SAFEARRAYBOUND));
    copy_prefix(psa, copy);
    if (!allocate_data(copy)) {
        free_descriptor(copy);
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = copy_elements(psa, copy, *count);
    if (FAILED(hr)) {
        SafeArrayDestroy(copy);
        return hr;
    }
    *ppsaOut = copy;
    return S_OK;
}
