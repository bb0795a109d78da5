// Late-bound calls through a type description: the member is chosen by its
// identifier and kind, the caller's variants are converted to the declared
// parameter types, and the member is called through its slot in the instance's
// table. A failing member's own result code comes back, as through the table.
// Arguments that already have their declared types go to the member as they are.
#include "typelib/invoke_arguments.h"
#include "typelib/type_information.h"

#include <boundary.h>

#include <oleauto.h>

#include <new>

namespace morvane::typelib {

namespace {

// Only interfaces meant for automation can be called by name: a dual interface
// (either view) or one marked for automation.
bool reachable_by_name(const TypeView &view)
{
    if (view.is_dispatch())
        return true;
    return view.kind() == TKIND_INTERFACE &&
           (view.flags() & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) != 0;
}

// The member that the dispatch flags ask for, or -1. A call may read a property
// when no method has the identifier; a write never reaches anything but a write.
long find_member(const TypeView &view, MEMBERID memid, WORD flags)
{
    long found = -1;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (flags & DISPATCH_PROPERTYPUT)
            found = view.find_func(memid, INVOKE_PROPERTYPUT);
        if (found < 0 && (flags & DISPATCH_PROPERTYPUTREF))
            found = view.find_func(memid, INVOKE_PROPERTYPUTREF);
        return found;
    }
    if (flags & DISPATCH_METHOD)
        found = view.find_func(memid, INVOKE_FUNC);
    if (found < 0 && (flags & DISPATCH_PROPERTYGET))
        found = view.find_func(memid, INVOKE_PROPERTYGET);
    return found;
}

// Fills the caller's exception information from the thread's error record, which
// stays in place for the caller to read with GetErrorInfo as well.
void fill_exception(EXCEPINFO &info, HRESULT failure)
{
    info = EXCEPINFO{};
    info.scode = failure;
    IErrorInfo *record = nullptr;
    if (GetErrorInfo(0, &record) != S_OK || !record)
        return;
    record->GetSource(&info.bstrSource);
    record->GetDescription(&info.bstrDescription);
    record->GetHelpFile(&info.bstrHelpFile);
    record->GetHelpContext(&info.dwHelpContext);
    SetErrorInfo(0, record);
    record->Release();
}

// What a call's own outcome means for Invoke: a failure of the call or of the
// member, or S_OK with a directly returned value handed to the caller.
HRESULT after_call(HRESULT called, VARTYPE returns, VARIANT &returned, VARIANT *out, EXCEPINFO *exception)
{
    if (FAILED(called))
        return called;
    if (returns == VT_HRESULT) {
        if (FAILED(returned.scode)) {
            if (exception)
                fill_exception(*exception, returned.scode);
            return returned.scode;
        }
    } else if (returns != VT_VOID) {
        // A member that returns its value directly rather than through a parameter.
        if (out)
            *out = returned;
        else
            VariantClear(&returned);
    }
    return S_OK;
}

} // namespace

HRESULT STDMETHODCALLTYPE TypeInformation::Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags,
                                                  DISPPARAMS *pDispParams, VARIANT *pVarResult,
                                                  EXCEPINFO *pExcepInfo, UINT *puArgErr)
{
    if (!pvInstance || !pDispParams)
        return E_INVALIDARG;
    const DISPPARAMS &params = *pDispParams;
    if (params.cNamedArgs > params.cArgs || (params.cArgs > 0 && !params.rgvarg) ||
        (params.cNamedArgs > 0 && !params.rgdispidNamedArgs))
        return E_INVALIDARG;

    const TypeView v = view();
    if (!reachable_by_name(v))
        return DISP_E_MEMBERNOTFOUND;
    const long index = find_member(v, memid, wFlags);
    if (index < 0)
        return DISP_E_MEMBERNOTFOUND;
    const FuncModel &func = v.func(static_cast<std::uint32_t>(index));
    const VARTYPE returns = v.library().nodes[func.result].vt;
    if (returns != VT_HRESULT && returns != VT_VOID && !is_returnable_type(returns))
        return DISP_E_BADVARTYPE;

    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        const MemberCall &member = calls_.find(v, static_cast<std::uint32_t>(index));
        BoundArguments args(member);
        if (const HRESULT hr = args.bind(params, puArgErr); FAILED(hr))
            return hr;
        VARIANT returned;
        VariantInit(&returned);
        const HRESULT called = member.call(pvInstance, args.values(), returned);
        const HRESULT hr = after_call(called, returns, returned, pVarResult, pExcepInfo);
        if (hr == S_OK)
            args.take_result(pVarResult);
        return hr;
    });
}

} // namespace morvane::typelib
