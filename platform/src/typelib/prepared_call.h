// A call of one signature through an object's table, with its argument layout
// worked out once, so that callers that repeat the same call (late-bound
// dispatch) do not lay it out again each time. DispCallFunc is one use of it.
#pragma once

#include <windows.h>

#include <ffi.h>
#include <morvane_assert.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvane::typelib {

// One entry per argument of a call: on the stack up to a member's usual
// parameter count, on the heap beyond, so that ordinary calls allocate nothing.
// Entries start unset; callers set each before they read it. May throw
// std::bad_alloc.
template <typename T>
class ArgumentArray {
public:
    explicit ArgumentArray(std::size_t count) : count_(count)
    {
        if (count > on_stack) {
            heap_.resize(count);
            data_ = heap_.data();
        }
    }
    ArgumentArray(const ArgumentArray &) = delete;
    ArgumentArray &operator=(const ArgumentArray &) = delete;

    T &operator[](std::size_t i)
    {
        MORVANE_ASSERT(i < count_);
        return data_[i];
    }
    const T &operator[](std::size_t i) const
    {
        MORVANE_ASSERT(i < count_);
        return data_[i];
    }
    T *data() { return data_; }
    const T *data() const { return data_; }

private:
    static constexpr std::size_t on_stack = 8;

    T on_stack_[on_stack];
    std::vector<T> heap_;
    T *data_ = on_stack_;
    std::size_t count_;
};

// How a call's raw result becomes a variant: nothing (no result, or a VARIANT
// built in place), a pointer, or a real or integer number of `size` bytes.
struct ResultForm {
    enum Kind : std::uint8_t { none, pointer, real, integer };
    Kind kind = none;
    std::uint8_t size = 0;
};

class PreparedCall {
public:
    PreparedCall() = default;
    PreparedCall(const PreparedCall &) = delete;
    PreparedCall &operator=(const PreparedCall &) = delete;
    // The argument layout stays with its type list, whose storage moves along.
    PreparedCall(PreparedCall &&) = default;
    PreparedCall &operator=(PreparedCall &&) = default;

    // Lays out a call with an instance (when with_instance) followed by count
    // arguments of the types given, returning returns. DISP_E_BADVARTYPE for a
    // type that cannot be passed, E_INVALIDARG when the layout fails. May throw
    // std::bad_alloc.
    HRESULT prepare(bool with_instance, VARTYPE returns, UINT count, const VARTYPE *types);

    // Calls the function at offset in the instance's table (or offset itself
    // without an instance) with one value per argument type; the result goes
    // to *result unless the call returns nothing. E_INVALIDARG when there is no
    // function to call. May throw std::bad_alloc beyond 16 arguments.
    HRESULT call(void *instance, ULONG_PTR offset, VARIANTARG *const *values, VARIANT *result) const;

private:
    ffi_cif cif_{};
    std::vector<ffi_type *> types_;
    std::vector<VARTYPE> vts_;
    VARTYPE returns_ = VT_EMPTY;
    ResultForm result_form_;
};

} // namespace morvane::typelib
