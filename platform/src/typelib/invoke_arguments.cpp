#include "typelib/invoke_arguments.h"

#include <oleauto.h>
#include <variant_type_table.h>

namespace mvtl {

// Types a member may return, or hand back through its [out, retval] parameter, as
// a variant of that type (VT_VARIANT aside, which needs no wrapping).
bool is_returnable_type(VARTYPE vt)
{
    return morvane::vartype::has_use(vt, morvane::vartype::returnable);
}

BoundArguments::~BoundArguments()
{
    // Converted values own what they hold (strings, interface references);
    // references to the caller's data are stored with VT_EMPTY and free nothing.
    for (VARIANT &temp : temps_)
        VariantClear(&temp);
    VariantClear(&result_);
}

HRESULT BoundArguments::bind(const TypeView &view, const FuncModel &func, const DISPPARAMS &params,
                             UINT *arg_error)
{
    auto blame = [arg_error](HRESULT hr, UINT index) {
        if (arg_error)
            *arg_error = index;
        return hr;
    };
    const LibraryModel &library = view.library();
    const std::size_t total = func.param_count;
    temps_.assign(total, VARIANT{});
    types_.assign(total, VARTYPE{VT_EMPTY});
    values_.assign(total, nullptr);

    // The parameters the caller supplies, in declaration order: all but a final
    // [out, retval] (Invoke provides its location) and a locale (Invoke passes 0).
    std::vector<std::size_t> inputs;
    for (std::size_t p = 0; p < total; ++p) {
        const ParamModel &param = view.param(func, static_cast<std::uint32_t>(p));
        if ((param.flags & PARAMFLAG_FRETVAL) && p + 1 == total) {
            if (const HRESULT hr = bind_result(library, param, p); FAILED(hr))
                return hr;
        } else if (param.flags & PARAMFLAG_FLCID) {
            temps_[p].vt = VT_I4;
            types_[p] = VT_I4;
            values_[p] = &temps_[p];
        } else {
            inputs.push_back(p);
        }
    }

    // Which argument (index in rgvarg) each input comes from: the positional ones
    // fill the first inputs, the last of them at rgvarg[cNamedArgs]; a named one
    // goes where its identifier (the parameter's position) says. A property
    // write's value is the argument named DISPID_PROPERTYPUT.
    const bool put = func.invkind == INVOKE_PROPERTYPUT || func.invkind == INVOKE_PROPERTYPUTREF;
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
    std::vector<long> source(inputs.size(), -1);
    for (UINT p = 0; p < positional; ++p)
        source[p] = static_cast<long>(params.cArgs - 1 - p);
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
        const ParamModel &param = view.param(func, static_cast<std::uint32_t>(slot));
        if (source[k] < 0) {
            // An optional VARIANT that was left out arrives as "parameter not found".
            if ((param.flags & PARAMFLAG_FOPT) && library.nodes[param.type].vt == VT_VARIANT) {
                temps_[slot].vt = VT_ERROR;
                temps_[slot].scode = DISP_E_PARAMNOTFOUND;
                types_[slot] = VT_VARIANT;
                values_[slot] = &temps_[slot];
                continue;
            }
            return named_inputs ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
        }
        const UINT index = static_cast<UINT>(source[k]);
        if (const HRESULT hr = bind_value(library, param, params.rgvarg[index], slot); FAILED(hr))
            return blame(hr, index);
    }
    return S_OK;
}

HRESULT BoundArguments::bind_value(const LibraryModel &library, const ParamModel &param,
                                   VARIANTARG &arg, std::size_t slot)
{
    const TypeNode &node = library.nodes[param.type];
    VARIANT &temp = temps_[slot];
    if (node.vt == VT_VARIANT) {
        // Passed by value as it is: the member gets a copy of the structure and
        // owns nothing of it.
        types_[slot] = VT_VARIANT;
        values_[slot] = &arg;
        return S_OK;
    }
    if (node.vt == VT_PTR) {
        // A reference parameter takes a reference argument of exactly its type; an
        // [in] VARIANT* may also be given the variant itself.
        const VARTYPE target = library.nodes[node.ref].vt;
        if (arg.vt == (VT_BYREF | target))
            temp.byref = arg.byref;
        else if (target == VT_VARIANT && !(param.flags & PARAMFLAG_FOUT))
            temp.byref = &arg;
        else
            return DISP_E_TYPEMISMATCH;
        types_[slot] = VT_PTR;
        values_[slot] = &temp;
        return S_OK;
    }
    if (const HRESULT hr = VariantChangeType(&temp, &arg, 0, node.vt); FAILED(hr))
        return hr;
    types_[slot] = node.vt;
    values_[slot] = &temp;
    return S_OK;
}

HRESULT BoundArguments::bind_result(const LibraryModel &library, const ParamModel &param,
                                    std::size_t slot)
{
    const TypeNode &node = library.nodes[param.type];
    if (node.vt != VT_PTR)
        return DISP_E_BADVARTYPE;
    const VARTYPE target = library.nodes[node.ref].vt;
    VARIANT &holder = temps_[slot];
    if (target == VT_VARIANT)
        holder.byref = &result_;
    else if (is_returnable_type(target))
        holder.byref = &result_.llVal; // every member of the value union starts here
    else
        return DISP_E_BADVARTYPE;
    result_type_ = target;
    types_[slot] = VT_PTR;
    values_[slot] = &holder;
    return S_OK;
}

void hand_over_result(VARTYPE declared, VARIANT &result, VARIANT *out)
{
    if (declared != VT_VARIANT)
        result.vt = declared;
    if (out)
        *out = result;
    else
        VariantClear(&result);
    result = VARIANT{};
}

void BoundArguments::take_result(VARIANT *out)
{
    if (result_type_ == VT_EMPTY)
        return;
    hand_over_result(result_type_, result_, out);
    result_type_ = VT_EMPTY;
}

} // namespace mvtl
