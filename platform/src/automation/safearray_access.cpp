// Reading a safe array's shape and locking its elements in place.
#include "automation/safearray_layout.h"

#include <atomic>
#include <cstring>

using namespace morvane::automation;

namespace {
// The lock count has the width it has on the system the descriptor comes from.
constexpr ULONG max_locks = 0xFFFF;

// The stored bound of 1-based dimension n, which the descriptor keeps last dimension first.
const SAFEARRAYBOUND *bound_of_dimension(SAFEARRAY *psa, UINT n)
{
    if (n == 0 || n > psa->cDims)
        return nullptr;
    return &bounds_of(psa)[psa->cDims - n];
}
// Counts a lock taken (+1) or given back (-1), refusing to pass 0 or the maximum.
HRESULT change_locks(SAFEARRAY *psa, int step)
{
    if (psa == nullptr)
        return E_INVALIDARG;
    std::atomic_ref<ULONG> locks(psa->cLocks);
    ULONG seen = locks.load();
    do {
        if (step > 0 ? seen >= max_locks : seen == 0)
            return E_UNEXPECTED;
    } while (!locks.compare_exchange_weak(seen, step > 0 ? seen + 1 : seen - 1));
    return S_OK;
}

template <typename Read>
HRESULT read_bound(SAFEARRAY *psa, UINT n, LONG *out, Read read)
{
    if (psa == nullptr || out == nullptr)
        return E_INVALIDARG;
    const SAFEARRAYBOUND *bound = bound_of_dimension(psa, n);
    if (bound == nullptr)
        return DISP_E_BADINDEX;
    *out = read(*bound);
    return S_OK;
}
} // namespace

EXTERN_C HRESULT SafeArrayLock(SAFEARRAY *psa) { return change_locks(psa, +1); }

EXTERN_C HRESULT SafeArrayUnlock(SAFEARRAY *psa) { return change_locks(psa, -1); }

EXTERN_C HRESULT SafeArrayAccessData(SAFEARRAY *psa, void **ppvData)
{
    if (psa == nullptr || ppvData == nullptr)
        return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

EXTERN_C HRESULT SafeArrayUnaccessData(SAFEARRAY *psa) { return SafeArrayUnlock(psa); }

EXTERN_C UINT SafeArrayGetDim(SAFEARRAY *psa) { return psa == nullptr ? 0 : psa->cDims; }

EXTERN_C UINT SafeArrayGetElemsize(SAFEARRAY *psa) { return psa == nullptr ? 0 : psa->cbElements; }

EXTERN_C HRESULT SafeArrayGetLBound(SAFEARRAY *psa, UINT nDim, LONG *plLbound)
{
    return read_bound(psa, nDim, plLbound, [](const SAFEARRAYBOUND &b) { return b.lLbound; });
}

EXTERN_C HRESULT SafeArrayGetUBound(SAFEARRAY *psa, UINT nDim, LONG *plUbound)
{
    // Arrays made here always have a representable upper bound; a descriptor built
    // elsewhere gets the value wrapped to 32 bits as the system computes it.
    return read_bound(psa, nDim, plUbound, [](const SAFEARRAYBOUND &b) {
        return static_cast<LONG>(std::int64_t{b.lLbound} + b.cElements - 1);
    });
}

EXTERN_C HRESULT SafeArrayGetVartype(SAFEARRAY *psa, VARTYPE *pvt)
{
    if (psa == nullptr || pvt == nullptr)
        return E_INVALIDARG;
    const USHORT features = psa->fFeatures;
    if (features & FADF_RECORD) {
        *pvt = VT_RECORD;
    } else if (features & FADF_HAVEIID) {
        *pvt = (features & FADF_DISPATCH) ? VT_DISPATCH : VT_UNKNOWN;
    } else if (features & FADF_HAVEVARTYPE) {
        DWORD stored;
        std::memcpy(&stored, reinterpret_cast<const unsigned char *>(psa) - safearray_vartype_offset, sizeof stored);
        *pvt = static_cast<VARTYPE>(stored);
    } else if (features & FADF_BSTR) {
        *pvt = VT_BSTR;
    } else if (features & FADF_UNKNOWN) {
        *pvt = VT_UNKNOWN;
    } else if (features & FADF_DISPATCH) {
        *pvt = VT_DISPATCH;
    } else if (features & FADF_VARIANT) {
        *pvt = VT_VARIANT;
    } else {
        return E_INVALIDARG; // the descriptor does not say
    }
    return S_OK;
}
