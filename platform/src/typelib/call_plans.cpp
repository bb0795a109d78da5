#include "typelib/call_plans.h"

#include "typelib/invoke_arguments.h"

#include <new>

namespace mvtl {

bool CallPlan::prepare(const TypeView &view, const FuncModel &func)
{
    const LibraryModel &library = view.library();
    const VARTYPE returns = library.nodes[func.result].vt;
    put_ = func.invkind == INVOKE_PROPERTYPUT || func.invkind == INVOKE_PROPERTYPUTREF;
    std::uint32_t inputs = func.param_count;
    VARTYPE types[kMaxInputs + 1];
    if (inputs > 0) {
        const ParamModel &last = view.param(func, inputs - 1);
        const TypeNode &node = library.nodes[last.type];
        if (last.flags & PARAMFLAG_FRETVAL) {
            if (node.vt != VT_PTR)
                return false;
            const VARTYPE target = library.nodes[node.ref].vt;
            if (target != VT_VARIANT && !is_returnable_type(target))
                return false;
            result_type_ = target;
            --inputs;
        }
    }
    if (inputs > kMaxInputs || (put_ && inputs == 0))
        return false;
    for (std::uint32_t p = 0; p < inputs; ++p) {
        const ParamModel &param = view.param(func, p);
        const VARTYPE vt = library.nodes[param.type].vt;
        if ((param.flags & (PARAMFLAG_FLCID | PARAMFLAG_FRETVAL)) ||
            (vt != VT_VARIANT && !is_returnable_type(vt)))
            return false;
        declared_[p] = vt;
        types[p] = vt;
    }
    if (result_type_ != VT_EMPTY)
        types[inputs] = VT_PTR;
    inputs_ = inputs;
    offset_ = func.vft_slot * sizeof(void *);
    const UINT count = inputs + (result_type_ != VT_EMPTY ? 1 : 0);
    return SUCCEEDED(call_.prepare(true, returns, count, types));
}

bool CallPlan::accepts(const DISPPARAMS &params) const
{
    if (params.cArgs != inputs_)
        return false;
    // A property write names its value; nothing else is named here.
    if (put_ ? params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT
             : params.cNamedArgs != 0)
        return false;
    for (std::uint32_t k = 0; k < inputs_; ++k) {
        if (declared_[k] != VT_VARIANT && params.rgvarg[inputs_ - 1 - k].vt != declared_[k])
            return false;
    }
    return true;
}

HRESULT CallPlan::call(void *instance, const DISPPARAMS &params, VARIANT &returned, VARIANT &result) const
{
    // The arguments come last first; a property write's value, named, is rgvarg[0]
    // and the last parameter either way.
    VARIANTARG *values[kMaxInputs + 1];
    for (std::uint32_t k = 0; k < inputs_; ++k)
        values[k] = &params.rgvarg[inputs_ - 1 - k];
    VARIANT location;
    if (result_type_ != VT_EMPTY) {
        // Every member of the value union starts where llVal does.
        location.byref = result_type_ == VT_VARIANT ? static_cast<void *>(&result) : &result.llVal;
        values[inputs_] = &location;
    }
    return call_.call(instance, offset_, values, &returned);
}

const CallPlan *CallPlans::find(const TypeView &view, std::uint32_t index)
{
    try {
        std::call_once(made_, [&] {
            std::vector<CallPlan> plans(view.func_count());
            std::vector<bool> usable(view.func_count());
            for (std::uint32_t i = 0; i < view.func_count(); ++i)
                usable[i] = plans[i].prepare(view, view.func(i));
            plans_ = std::move(plans);
            usable_ = std::move(usable);
        });
    } catch (const std::bad_alloc &) {
        return nullptr; // the general binding serves, and the next call tries again
    }
    return index < usable_.size() && usable_[index] ? &plans_[index] : nullptr;
}

} // namespace mvtl
