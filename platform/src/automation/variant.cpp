// Variants: what a variant owns, how it is released and how it is copied.
#include "automation/variant_types.h"

using namespace morvane::automation;

namespace {

// Copies what src holds into dst, which is empty; dst stays empty on failure.
HRESULT copy_contents(VARIANT *dst, const VARIANT *src)
{
    VARIANT copy = *src; // scalars, by-reference variants and the decimal's 16 bytes
    const VARTYPE vt = src->vt;
    if (vt & VT_BYREF) {
        // A reference owns nothing: both variants point at the same location.
    } else if (vt & VT_ARRAY) {
        const HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
        if (FAILED(hr))
            return hr;
    } else if (vt == VT_BSTR) {
        if (src->bstrVal != nullptr) {
            copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src->bstrVal), SysStringByteLen(src->bstrVal));
            if (copy.bstrVal == nullptr)
                return E_OUTOFMEMORY;
        }
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        if (src->punkVal != nullptr)
            src->punkVal->AddRef();
    }
    *dst = copy;
    return S_OK;
}

} // namespace

EXTERN_C void VariantInit(VARIANTARG *pvarg)
{
    if (pvarg != nullptr)
        pvarg->vt = VT_EMPTY;
}

EXTERN_C HRESULT VariantClear(VARIANTARG *pvarg)
{
    if (pvarg == nullptr)
        return E_INVALIDARG;
    const VARTYPE vt = pvarg->vt;
    if (!is_valid_variant_type(vt))
        return DISP_E_BADVARTYPE;
    if (vt & VT_BYREF) {
        // The referenced location belongs to someone else.
    } else if (vt & VT_ARRAY) {
        const HRESULT hr = SafeArrayDestroy(pvarg->parray);
        if (FAILED(hr))
            return hr; // a locked array stays where it is
    } else if (vt == VT_BSTR) {
        SysFreeString(pvarg->bstrVal);
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        if (pvarg->punkVal != nullptr)
            pvarg->punkVal->Release();
    }
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

EXTERN_C HRESULT VariantCopy(VARIANTARG *pvargDest, const VARIANTARG *pvargSrc)
{
    if (pvargDest == nullptr || pvargSrc == nullptr)
        return E_INVALIDARG;
    if (!is_valid_variant_type(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    if (pvargDest == pvargSrc)
        return S_OK;
    // The copy is made before the destination is cleared, so that a source that
    // shares something with the destination is still whole while it is read.
    VARIANT copy{}; // VT_EMPTY
    const HRESULT copied = copy_contents(&copy, pvargSrc);
    const HRESULT cleared = VariantClear(pvargDest);
    if (FAILED(cleared)) {
        VariantClear(&copy);
        return cleared;
    }
    if (FAILED(copied))
        return copied; // the destination is left empty
    *pvargDest = copy;
    return S_OK;
}
