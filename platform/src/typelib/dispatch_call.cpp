// DispCallFunc: calls a member of an object's table (or a plain function) with
// arguments held in variants, through libffi, in the platform's one C calling
// convention. Integers, pointers and floating-point values go where the C ABI
// puts them (registers first, then the stack); a VARIANT by value is a 24-byte
// structure and travels in memory as the ABI passes such structures.
#include "typelib/prepared_call.h"

#include <boundary.h>

#include <windows.h>

#include <ffi.h>
#include <morvane_assert.h>
#include <variant_type_table.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

static_assert(sizeof(VARIANT) == 24 && alignof(VARIANT) == 8, "VARIANT layout");
static_assert(sizeof(ffi_arg) == sizeof(ULONGLONG), "libffi widens results to 64 bits");

// The VARIANT's real layout: the type word, three reserved words, then a 16-byte
// union whose widest members are two 8-byte fields (record pointer and record info).
ffi_type *variant_elements[] = {&ffi_type_uint16, &ffi_type_uint16, &ffi_type_uint16,
                                &ffi_type_uint16, &ffi_type_uint64, &ffi_type_uint64, nullptr};
// Size and alignment are given here rather than left for libffi to fill in on the
// first call, so that concurrent first calls do not race on this shared object.
ffi_type variant_type = {sizeof(VARIANT), alignof(VARIANT), FFI_TYPE_STRUCT, variant_elements};

bool is_pointer_type(VARTYPE vt)
{
    if (vt & (VT_BYREF | VT_ARRAY))
        return true;
    const morvane::vartype::Info *info = morvane::vartype::find(vt);
    return info != nullptr && info->passing == morvane::vartype::Passing::pointer;
}

// The libffi type of a value of variant type vt, or null when it cannot be passed
// or returned by value here. VT_VARIANT and void are handled by the callers.
ffi_type *scalar_type(VARTYPE vt)
{
    using morvane::vartype::Passing;
    if (is_pointer_type(vt))
        return &ffi_type_pointer;
    const morvane::vartype::Info *info = morvane::vartype::find(vt);
    if (info == nullptr)
        return nullptr;
    const bool is_signed = info->passing == Passing::signed_;
    switch (info->passing) {
    case Passing::signed_:
    case Passing::unsigned_:
        switch (info->size) {
        case 1:
            return is_signed ? &ffi_type_sint8 : &ffi_type_uint8;
        case 2:
            return is_signed ? &ffi_type_sint16 : &ffi_type_uint16;
        case 4:
            return is_signed ? &ffi_type_sint32 : &ffi_type_uint32;
        default:
            return is_signed ? &ffi_type_sint64 : &ffi_type_uint64;
        }
    case Passing::real:
        return info->size == 4 ? &ffi_type_float : &ffi_type_double;
    default:
        return nullptr;
    }
}

ffi_type *argument_type(VARTYPE vt)
{
    return vt == VT_VARIANT ? &variant_type : scalar_type(vt);
}

ffi_type *return_type(VARTYPE vt)
{
    if (vt == VT_EMPTY || vt == VT_VOID)
        return &ffi_type_void;
    return argument_type(vt);
}

// Where libffi reads an argument's value: the variant itself for VT_VARIANT, else
// its data field (every member of the data union starts at the same offset, and
// libffi reads only as many bytes as the argument's type has).
void *argument_value(VARTYPE vt, VARIANTARG *arg)
{
    return vt == VT_VARIANT ? static_cast<void *>(arg) : static_cast<void *>(&arg->llVal);
}

// libffi hands back integer and pointer results widened to a full register.
union RawResult {
    ffi_arg integer;
    float single;
    double real;
};

using morvane::typelib::ResultForm;

// How a raw result of type vt becomes a variant; looked up once, when the call is laid out.
ResultForm result_form(VARTYPE vt)
{
    if (vt == VT_EMPTY || vt == VT_VOID || vt == VT_VARIANT)
        return {};
    if (is_pointer_type(vt))
        return {ResultForm::pointer, sizeof(void *)};
    const morvane::vartype::Info *info = morvane::vartype::find(vt);
    MORVANE_ASSERT(info != nullptr); // the return type was checked before
    if (info->passing == morvane::vartype::Passing::real)
        return {ResultForm::real, info->size};
    return {ResultForm::integer, info->size};
}

void store_result(VARTYPE vt, ResultForm form, const RawResult &raw, VARIANT *out)
{
    out->vt = vt == VT_VOID ? VARTYPE{VT_EMPTY} : vt;
    out->wReserved1 = out->wReserved2 = out->wReserved3 = 0;
    out->ullVal = 0;
    switch (form.kind) {
    case ResultForm::none:
        return;
    case ResultForm::pointer:
        out->byref = reinterpret_cast<void *>(static_cast<uintptr_t>(raw.integer));
        return;
    case ResultForm::real:
        if (form.size == 4)
            out->fltVal = raw.single;
        else
            out->dblVal = raw.real;
        return;
    case ResultForm::integer:
        // An integer's low bytes: every member of the data union starts at the same offset.
        std::memcpy(&out->llVal, &raw.integer, form.size);
        return;
    }
}

// The address to call: slot oVft of the instance's table, or oVft itself.
void *target_function(void *instance, ULONG_PTR offset)
{
    if (!instance)
        return reinterpret_cast<void *>(offset);
    if (offset % sizeof(void *) != 0)
        return nullptr;
    auto *table = *static_cast<char **>(instance);
    if (!table)
        return nullptr;
    return *reinterpret_cast<void **>(table + offset);
}

} // namespace

namespace morvane::typelib {

HRESULT PreparedCall::prepare(bool with_instance, VARTYPE returns, UINT count, const VARTYPE *types)
{
    ffi_type *result_type = return_type(returns);
    if (!result_type)
        return DISP_E_BADVARTYPE;
    const std::size_t self = with_instance ? 1 : 0;
    types_.assign(self + count, &ffi_type_pointer);
    vts_.assign(types, types + count);
    for (UINT i = 0; i < count; ++i) {
        types_[self + i] = argument_type(types[i]);
        if (!types_[self + i])
            return DISP_E_BADVARTYPE;
    }
    returns_ = returns;
    result_form_ = result_form(returns);
    if (ffi_prep_cif(&cif_, FFI_DEFAULT_ABI, static_cast<unsigned>(types_.size()), result_type,
                     types_.data()) != FFI_OK)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT PreparedCall::call(void *instance, ULONG_PTR offset, VARIANTARG *const *values, VARIANT *result) const
{
    void *function = target_function(instance, offset);
    if (!function)
        return E_INVALIDARG;
    ArgumentArray<void *> where(types_.size());
    const std::size_t self = types_.size() - vts_.size();
    if (self)
        where[0] = &instance;
    for (std::size_t i = 0; i < vts_.size(); ++i)
        where[self + i] = argument_value(vts_[i], values[i]);

    auto *cif = const_cast<ffi_cif *>(&cif_); // libffi only reads a prepared description
    if (returns_ == VT_VARIANT) {
        // The callee builds the structure in a local first, so that a result
        // variant that is also one of the arguments is read intact during the call.
        VARIANT returned;
        ffi_call(cif, reinterpret_cast<void (*)()>(function), &returned, where.data());
        *result = returned;
        return S_OK;
    }
    const bool returns_value = cif_.rtype != &ffi_type_void;
    RawResult raw{};
    ffi_call(cif, reinterpret_cast<void (*)()>(function), returns_value ? &raw : nullptr, where.data());
    if (result)
        store_result(returns_, result_form_, raw, result);
    return S_OK;
}

} // namespace morvane::typelib

EXTERN_C MVAPI HRESULT DispCallFunc(void *pvInstance, ULONG_PTR oVft, CALLCONV cc, VARTYPE vtReturn,
                                    UINT cActuals, VARTYPE *prgvt, VARIANTARG **prgpvarg,
                                    VARIANT *pvargResult)
{
    // x86-64 has one C calling convention; the Windows spellings of it both mean it.
    if (cc != CC_STDCALL && cc != CC_CDECL)
        return E_INVALIDARG;
    if (cActuals > 0 && (!prgvt || !prgpvarg))
        return E_INVALIDARG;
    if (cActuals > 0xFFFF) // far beyond any member's parameter count; keeps the counts in range
        return E_INVALIDARG;

    ffi_type *result_type = return_type(vtReturn);
    if (!result_type)
        return DISP_E_BADVARTYPE;
    if (result_type != &ffi_type_void && !pvargResult)
        return E_INVALIDARG;
    for (UINT i = 0; i < cActuals; ++i) {
        if (!prgpvarg[i])
            return E_INVALIDARG;
        if (!argument_type(prgvt[i]))
            return DISP_E_BADVARTYPE;
    }

    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        morvane::typelib::PreparedCall call;
        if (const HRESULT hr = call.prepare(pvInstance != nullptr, vtReturn, cActuals, prgvt); FAILED(hr))
            return hr;
        return call.call(pvInstance, oVft, prgpvarg, pvargResult);
    });
}
