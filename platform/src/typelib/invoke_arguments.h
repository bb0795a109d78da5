// The arguments of one late-bound call bound to a member's parameters: every
// parameter receives a value of its declared type in the form DispCallFunc takes,
// and the [out, retval] parameter points at a location of the binding's own.
#pragma once

#include "typelib/type_view.h"

#include <vector>

namespace mvtl {

// Whether a value of this type can be handed to a caller in a variant of that type.
bool is_returnable_type(VARTYPE vt);

// Hands an [out, retval] value of the declared type to *out, or frees it when out
// is null; result is left empty. A VARIANT result carries its own type; a typed
// one gets the declared type.
void hand_over_result(VARTYPE declared, VARIANT &result, VARIANT *out);

class BoundArguments {
public:
    BoundArguments() = default;
    ~BoundArguments();
    BoundArguments(const BoundArguments &) = delete;
    BoundArguments &operator=(const BoundArguments &) = delete;

    // Matches the caller's arguments (last parameter first, named ones ahead of the
    // positional ones) with the member's parameters and converts them. On failure,
    // *arg_error (when not null) receives the index in rgvarg of the argument to
    // blame, if there is one. May throw std::bad_alloc.
    HRESULT bind(const TypeView &view, const FuncModel &func, const DISPPARAMS &params,
                 UINT *arg_error);

    UINT count() const { return static_cast<UINT>(types_.size()); }
    VARTYPE *types() { return types_.data(); }
    VARIANTARG **values() { return values_.data(); }

    // After a successful call: moves the [out, retval] value into *out, or frees it
    // when out is null. Without such a parameter *out is left as it is.
    void take_result(VARIANT *out);

private:
    HRESULT bind_value(const LibraryModel &library, const ParamModel &param, VARIANTARG &arg,
                       std::size_t slot);
    HRESULT bind_result(const LibraryModel &library, const ParamModel &param, std::size_t slot);

    std::vector<VARIANT> temps_;       // converted values and references, one per parameter
    std::vector<VARTYPE> types_;       // what DispCallFunc passes for each parameter
    std::vector<VARIANTARG *> values_; // where DispCallFunc reads each parameter
    VARIANT result_{};                 // the [out, retval] location
    VARTYPE result_type_ = VT_EMPTY;   // its declared type; VT_EMPTY when there is none
};

} // namespace mvtl
