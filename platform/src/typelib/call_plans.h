// Late-bound calls that need no argument conversion: when the caller passes
// every parameter by position and each argument already has its parameter's
// declared type, the arguments go to the member as they are, through a call
// layout worked out once per member and kept with the type description.
#pragma once

#include "com/prepared_call.h"
#include "typelib/type_view.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace mvtl {

class CallPlan {
public:
    // Works out the plan for a member; false when its signature needs the
    // general binding (locale, reference or optional parameters and the like).
    // May throw std::bad_alloc.
    bool prepare(const TypeView &view, const FuncModel &func);

    // Whether this call's arguments can be passed as they are.
    bool accepts(const DISPPARAMS &params) const;

    // Calls the member with the caller's arguments. What it returns directly
    // goes to returned, its [out, retval] value to result, typed.
    HRESULT call(void *instance, const DISPPARAMS &params, VARIANT &returned, VARIANT &result) const;

    // The declared type of the [out, retval] parameter; VT_EMPTY without one.
    VARTYPE result_type() const { return result_type_; }

private:
    static constexpr std::uint32_t kMaxInputs = 8;

    morvane::com::PreparedCall call_;
    ULONG_PTR offset_ = 0;
    std::uint32_t inputs_ = 0;
    VARTYPE declared_[kMaxInputs]{};
    VARTYPE result_type_ = VT_EMPTY;
    bool put_ = false;
};

// The plans of one type's members, made together on the first call.
class CallPlans {
public:
    // The plan for member index of the view, or null when it has none or the
    // plans could not be made.
    const CallPlan *find(const TypeView &view, std::uint32_t index);

private:
    std::once_flag made_;
    std::vector<CallPlan> plans_;
    std::vector<bool> usable_;
};

} // namespace mvtl
