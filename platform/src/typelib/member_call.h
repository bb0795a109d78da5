// One member's late-bound call, worked out once from its description: what each
// parameter receives from Invoke's caller, and the call layout through the
// instance's table. A type description keeps one per member.
#pragma once

#include "typelib/prepared_call.h"
#include "typelib/type_view.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace morvane::typelib {

// What one parameter of a member receives on a late-bound call.
struct ParameterPlan {
    enum class Source : std::uint8_t {
        value,     // a caller's argument of type `declared`, converted when it has another type
        variant,   // a caller's argument, passed as it is (a VARIANT by value)
        reference, // a caller's reference to a `declared`, or for an [in] VARIANT* the variant itself
        locale,    // the locale: always 0
        result,    // the location of the [out, retval] value, of type `declared`
    };
    Source source = Source::value;
    VARTYPE declared = VT_EMPTY;
    bool passes_unconverted = false; // value: an argument of the declared type goes as it is
    bool optional = false;           // variant: the caller may leave it out
    bool writes = false;             // reference: [out], so only a reference will do
};

class MemberCall {
public:
    // Works out the call of member func of the view. May throw std::bad_alloc.
    void prepare(const TypeView &view, const FuncModel &func);

    // DISP_E_BADVARTYPE when the member's [out, retval] value cannot be handed
    // back, before any argument is looked at; S_OK otherwise.
    HRESULT signature_refusal() const { return signature_refusal_; }
    const std::vector<ParameterPlan> &parameters() const { return parameters_; }
    // The parameters the caller supplies, by index, in declaration order.
    const std::vector<std::uint32_t> &inputs() const { return inputs_; }
    // A property write, whose value is the argument named DISPID_PROPERTYPUT.
    bool is_put() const { return put_; }
    // The declared type of the [out, retval] value; VT_EMPTY without one.
    VARTYPE result_type() const { return result_type_; }

    // Calls the member with one value per parameter; what it returns directly
    // goes to returned. DISP_E_BADVARTYPE when a parameter's type cannot be
    // passed, E_INVALIDARG when the instance has no table.
    HRESULT call(void *instance, VARIANTARG *const *values, VARIANT &returned) const;

private:
    std::vector<ParameterPlan> parameters_;
    std::vector<std::uint32_t> inputs_;
    PreparedCall call_;
    HRESULT layout_ = E_UNEXPECTED; // how the call layout went
    HRESULT signature_refusal_ = S_OK;
    ULONG_PTR offset_ = 0;
    VARTYPE result_type_ = VT_EMPTY;
    bool put_ = false;
};

// The calls of one type's members, worked out together on the first call.
class MemberCalls {
public:
    // The call of member index of the view. May throw std::bad_alloc.
    const MemberCall &find(const TypeView &view, std::uint32_t index);

private:
    std::once_flag made_;
    std::vector<MemberCall> calls_;
};

} // namespace morvane::typelib
