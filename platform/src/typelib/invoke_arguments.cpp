// Binds a late-bound call's arguments to a member's parameters: by position or by
// name, converting only what does not already have the declared type.
#include "typelib/invoke_arguments.h"

#include <oleauto.h>
#include <variant_type_table.h>

namespace morvane::typelib {

// Types a member may return, or hand back through its [out, retval] parameter, as
// a variant of that type (VT_VARIANT aside, which needs no wrapping).
bool is_returnable_type(VARTYPE vt)
{
    return morvane::vartype::has_use(vt, morvane::vartype::returnable);
}

BoundArguments::BoundArguments(const MemberCall &member)
    : member_(member), temps_(member.parameters().size()), values_(member.parameters().size())
{
    // Empty until they receive a converted value or a reference (stored with VT_EMPTY).
    for (std::size_t p = 0; p < member.parameters().size(); ++p)
        temps_[p].vt = VT_EMPTY;
}

BoundArguments::~BoundArguments()
{
    // Converted values own what they hold (strings, interface references);
    // references to the caller's data are stored with VT_EMPTY and free nothing.
    if (converted_) {
        for (std::size_t p = 0; p < member_.parameters().size(); ++p)
            VariantClear(&temps_[p]);
    }
    if (result_.vt != VT_EMPTY)
        VariantClear(&result_);
}

HRESULT BoundArguments::bind(const DISPPARAMS &params, UINT *arg_error)
{
    auto blame = [arg_error](HRESULT hr, UINT index) {
        if (arg_error)
            *arg_error = index;
        return hr;
    };
    if (const HRESULT refused = member_.signature_refusal(); FAILED(refused))
        return refused;
    using Source = ParameterPlan::Source;
    const std::vector<ParameterPlan> &plans = member_.parameters();
    for (std::size_t p = 0; p < plans.size(); ++p) {
        if (plans[p].source == Source::result) {
            // Every member of the value union starts where llVal does.
            temps_[p].byref = plans[p].declared == VT_VARIANT ? static_cast<void *>(&result_) : &result_.llVal;
            values_[p] = &temps_[p];
        } else if (plans[p].source == Source::locale) {
            temps_[p].vt = VT_I4;
            temps_[p].lVal = 0; // the locale Invoke was given is not passed on
            values_[p] = &temps_[p];
        }
    }

    // Which argument (index in rgvarg) each input comes from: the positional ones
    // fill the first inputs, the last of them at rgvarg[cNamedArgs]; a named one
    // goes where its identifier (the parameter's position) says. A property
    // write's value is the argument named DISPID_PROPERTYPUT.
    const std::vector<std::uint32_t> &inputs = member_.inputs();
    const bool put = member_.is_put();
    const std::size_t open = put && !inputs.empty() ? inputs.size() - 1 : inputs.size();
    const UINT named = params.cNamedArgs;
    const UINT positional = params.cArgs - named;
    if (put) {
        bool has_value = false;
        for (UINT i = 0; i < named; ++i)
            has_value = has_value || params.rgdispidNamedArgs[i] == DISPID_PROPERTYPUT;
        if (!has_value)
            return DISP_E_PARAMNOTFOUND;
    }
    if (positional > open)
        return DISP_E_BADPARAMCOUNT;
    ArgumentArray<long> source(inputs.size());
    for (std::size_t k = 0; k < inputs.size(); ++k)
        source[k] = k < positional ? static_cast<long>(params.cArgs - 1 - k) : -1;
    for (UINT i = 0; i < named; ++i) {
        const DISPID id = params.rgdispidNamedArgs[i];
        std::size_t target;
        if (put) {
            if (id != DISPID_PROPERTYPUT)
                return DISP_E_NONAMEDARGS;
            if (inputs.empty())
                return DISP_E_BADPARAMCOUNT;
            target = inputs.size() - 1;
        } else {
            if (id < 0 || static_cast<std::size_t>(id) >= open)
                return blame(DISP_E_PARAMNOTFOUND, i);
            target = static_cast<std::size_t>(id);
        }
        if (source[target] >= 0) // the same parameter given twice
            return blame(DISP_E_PARAMNOTFOUND, i);
        source[target] = static_cast<long>(i);
    }

    const bool named_inputs = named > (put ? 1u : 0u);
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const std::size_t slot = inputs[k];
        const ParameterPlan &plan = plans[slot];
        if (source[k] < 0) {
            // An optional VARIANT that was left out arrives as "parameter not found".
            if (plan.source == Source::variant && plan.optional) {
                temps_[slot].vt = VT_ERROR;
                temps_[slot].scode = DISP_E_PARAMNOTFOUND;
                values_[slot] = &temps_[slot];
                continue;
            }
            return named_inputs ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
        }
        const UINT index = static_cast<UINT>(source[k]);
        if (const HRESULT hr = bind_input(plan, params.rgvarg[index], slot); FAILED(hr))
            return blame(hr, index);
    }
    return S_OK;
}

HRESULT BoundArguments::bind_input(const ParameterPlan &plan, VARIANTARG &arg, std::size_t slot)
{
    VARIANT &temp = temps_[slot];
    switch (plan.source) {
    case ParameterPlan::Source::variant:
        // Passed by value as it is: the member gets a copy of the structure and
        // owns nothing of it.
        values_[slot] = &arg;
        return S_OK;
    case ParameterPlan::Source::reference:
        // A reference parameter takes a reference argument of exactly its type; an
        // [in] VARIANT* may also be given the variant itself.
        if (arg.vt == (VT_BYREF | plan.declared))
            temp.byref = arg.byref;
        else if (plan.declared == VT_VARIANT && !plan.writes)
            temp.byref = &arg;
        else
            return DISP_E_TYPEMISMATCH;
        values_[slot] = &temp;
        return S_OK;
    default:
        if (plan.passes_unconverted && arg.vt == plan.declared) {
            values_[slot] = &arg;
            return S_OK;
        }
        if (const HRESULT hr = VariantChangeType(&temp, &arg, 0, plan.declared); FAILED(hr))
            return hr;
        converted_ = true;
        values_[slot] = &temp;
        return S_OK;
    }
}

void BoundArguments::take_result(VARIANT *out)
{
    const VARTYPE declared = member_.result_type();
    if (declared == VT_EMPTY)
        return;
    // A VARIANT result carries its own type; a typed one gets the declared type.
    if (declared != VT_VARIANT)
        result_.vt = declared;
    if (out)
        *out = result_;
    else
        VariantClear(&result_);
    result_ = VARIANT{};
}

} // namespace morvane::typelib
