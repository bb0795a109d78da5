// The arguments of one late-bound call bound to a member's parameters: every
// parameter receives a value of its declared type in the form the member's
// prepared call takes, and the [out, retval] parameter points at a location of
// the binding's own.
#pragma once

#include "typelib/member_call.h"

namespace morvane::typelib {

// Whether a value of this type can be handed to a caller in a variant of that type.
bool is_returnable_type(VARTYPE vt);

class BoundArguments {
public:
    // Room for the arguments of a call of member. May throw std::bad_alloc.
    explicit BoundArguments(const MemberCall &member);
    ~BoundArguments();
    BoundArguments(const BoundArguments &) = delete;
    BoundArguments &operator=(const BoundArguments &) = delete;

    // Matches the caller's arguments (last parameter first, named ones ahead of the
    // positional ones) with the member's parameters. An argument that already has
    // its parameter's declared type is passed as it is; any other is converted.
    // On failure, *arg_error (when not null) receives the index in rgvarg of the
    // argument to blame, if there is one. May throw std::bad_alloc.
    HRESULT bind(const DISPPARAMS &params, UINT *arg_error);

    // Where the member's prepared call reads each parameter.
    VARIANTARG *const *values() const { return values_.data(); }

    // After a successful call: moves the [out, retval] value into *out, or frees it
    // when out is null. Without such a parameter *out is left as it is.
    void take_result(VARIANT *out);

private:
    HRESULT bind_input(const ParameterPlan &plan, VARIANTARG &arg, std::size_t slot);

    const MemberCall &member_;
    ArgumentArray<VARIANT> temps_;       // converted values and references, one per parameter
    ArgumentArray<VARIANTARG *> values_; // where the call reads each parameter
    VARIANT result_{};                   // the [out, retval] location
    bool converted_ = false;             // whether a temporary may own a value
};

} // namespace morvane::typelib
