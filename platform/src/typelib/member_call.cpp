// Works out each member's late-bound call from its description once, on the
// first Invoke of the type, and keeps it for every later call.
#include "typelib/member_call.h"

#include "typelib/invoke_arguments.h"

#include <morvane_assert.h>

namespace morvane::typelib {

namespace {

// The plan of a parameter the caller supplies, with the type the call passes for it.
ParameterPlan input_plan(const LibraryModel &library, const ParamModel &param, VARTYPE &passed)
{
    const TypeNode &node = library.nodes[param.type];
    ParameterPlan plan;
    plan.declared = node.vt;
    passed = node.vt;
    if (node.vt == VT_VARIANT) {
        plan.source = ParameterPlan::Source::variant;
        plan.optional = (param.flags & PARAMFLAG_FOPT) != 0;
    } else if (node.vt == VT_PTR) {
        plan.source = ParameterPlan::Source::reference;
        plan.declared = library.nodes[node.ref].vt;
        plan.writes = (param.flags & PARAMFLAG_FOUT) != 0;
    } else {
        // Copying a value of these types to itself is all a conversion would do.
        plan.passes_unconverted = is_returnable_type(node.vt);
    }
    return plan;
}

} // namespace

void MemberCall::prepare(const TypeView &view, const FuncModel &func)
{
    const LibraryModel &library = view.library();
    const std::uint32_t total = func.param_count;
    put_ = func.invkind == INVOKE_PROPERTYPUT || func.invkind == INVOKE_PROPERTYPUTREF;
    offset_ = func.vft_slot * sizeof(void *);
    parameters_.assign(total, ParameterPlan{});
    std::vector<VARTYPE> passed(total, VT_PTR);
    for (std::uint32_t p = 0; p < total; ++p) {
        const ParamModel &param = view.param(func, p);
        ParameterPlan &plan = parameters_[p];
        if ((param.flags & PARAMFLAG_FRETVAL) && p + 1 == total) {
            // Invoke provides the location and hands the value over afterwards.
            plan.source = ParameterPlan::Source::result;
            const TypeNode &node = library.nodes[param.type];
            const VARTYPE target = node.vt == VT_PTR ? library.nodes[node.ref].vt : VARTYPE{VT_EMPTY};
            if (node.vt != VT_PTR || (target != VT_VARIANT && !is_returnable_type(target)))
                signature_refusal_ = DISP_E_BADVARTYPE;
            else
                plan.declared = result_type_ = target;
        } else if (param.flags & PARAMFLAG_FLCID) {
            plan.source = ParameterPlan::Source::locale;
            passed[p] = VT_I4;
        } else {
            inputs_.push_back(p);
            plan = input_plan(library, param, passed[p]);
        }
    }
    layout_ = call_.prepare(true, library.nodes[func.result].vt, total, passed.data());
}

HRESULT MemberCall::call(void *instance, VARIANTARG *const *values, VARIANT &returned) const
{
    if (FAILED(layout_))
        return layout_;
    return call_.call(instance, offset_, values, &returned);
}

const MemberCall &MemberCalls::find(const TypeView &view, std::uint32_t index)
{
    // A failed attempt leaves the flag unset, so the next call tries again.
    std::call_once(made_, [&] {
        std::vector<MemberCall> calls(view.func_count());
        for (std::uint32_t i = 0; i < view.func_count(); ++i)
            calls[i].prepare(view, view.func(i));
        calls_ = std::move(calls);
    });
    MORVANE_ASSERT(index < calls_.size()); // Invoke found the member in the same view
    return calls_[index];
}

} // namespace morvane::typelib
