// Element ownership inside safe arrays.
#include "automation/safearray_layout.h"

#include <cstring>

namespace morvane::automation {

std::optional<std::uint64_t> element_count(const SAFEARRAY *psa)
{
    std::uint64_t count = 1;
    const SAFEARRAYBOUND *bounds = bounds_of(psa);
    for (USHORT d = 0; d < psa->cDims; ++d) {
        if (__builtin_mul_overflow(count, std::uint64_t{bounds[d].cElements}, &count))
            return std::nullopt;
    }
    return psa->cDims == 0 ? 0 : count;
}

namespace {
template <typename Element, typename Visit>
void for_each_element(SAFEARRAY *psa, std::uint64_t count, Visit visit)
{
    auto *at = static_cast<unsigned char *>(psa->pvData);
    for (std::uint64_t i = 0; i < count; ++i, at += psa->cbElements)
        visit(reinterpret_cast<Element *>(at));
}
} // namespace

void release_elements(SAFEARRAY *psa)
{
    if (psa->pvData == nullptr || (psa->fFeatures & safearray_owning_features) == 0)
        return;
    const std::uint64_t count = element_count(psa).value_or(0);
    if (psa->fFeatures & FADF_BSTR) {
        for_each_element<BSTR>(psa, count, [](BSTR *s) {
            SysFreeString(*s);
            *s = nullptr;
        });
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        for_each_element<IUnknown *>(psa, count, [](IUnknown **p) {
            if (IUnknown *held = *p) {
                *p = nullptr;
                held->Release();
            }
        });
    } else if (psa->fFeatures & FADF_VARIANT) {
        for_each_element<VARIANT>(psa, count, [](VARIANT *v) { VariantClear(v); });
    }
}

HRESULT copy_elements(const SAFEARRAY *src, SAFEARRAY *dst, std::uint64_t count)
{
    const auto *from = static_cast<const unsigned char *>(src->pvData);
    auto *to = static_cast<unsigned char *>(dst->pvData);
    const std::size_t stride = src->cbElements;
    if (from == nullptr || count == 0)
        return S_OK;
    if ((src->fFeatures & safearray_owning_features) == 0) {
        std::memcpy(to, from, static_cast<std::size_t>(count) * stride);
        return S_OK;
    }
    for (std::uint64_t i = 0; i < count; ++i, from += stride, to += stride) {
        if (src->fFeatures & FADF_BSTR) {
            BSTR s;
            std::memcpy(&s, from, sizeof s);
            if (s != nullptr) {
                BSTR copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
                if (copy == nullptr)
                    return E_OUTOFMEMORY;
                std::memcpy(to, &copy, sizeof copy);
            }
        } else if (src->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            IUnknown *p;
            std::memcpy(&p, from, sizeof p);
            if (p != nullptr)
                p->AddRef();
            std::memcpy(to, &p, sizeof p);
        } else {
            const HRESULT hr = VariantCopy(reinterpret_cast<VARIANT *>(to), reinterpret_cast<const VARIANT *>(from));
            if (FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

} // namespace morvane::automation
