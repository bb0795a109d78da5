// Where C++ code meets a C-linkage caller: nothing may be thrown across, so what the
// code inside throws becomes the result code its service returns for that failure.
#pragma once

#include <winerror.h>

#include <new>
#include <type_traits>

namespace morvane {

// The codes a service returns when its code runs out of memory (std::bad_alloc) and
// when it fails in a way it does not name.
template <typename Code>
struct FailureCodes {
    Code out_of_memory;
    Code unexpected;
};

// The component-system and automation services' codes.
inline constexpr FailureCodes<HRESULT> hresult_failures{E_OUTOFMEMORY, E_UNEXPECTED};

namespace boundary_detail {
// Thrown by nobody: the coded failure of a service that throws none.
template <typename Code>
struct NoCodedFailure {
    Code code;
};
} // namespace boundary_detail

// Runs body and returns its result. A thrown `Coded` (a failure that already names
// its result code in a `code` member, such as the registry's database faults)
// returns that code; running out of memory and anything else return the service's
// codes for them.
template <typename Coded = void, typename Code, typename Body>
Code guarded(const FailureCodes<Code> &codes, Body &&body) noexcept
{
    using Caught =
        std::conditional_t<std::is_void_v<Coded>, boundary_detail::NoCodedFailure<Code>, Coded>;
    try {
        return body();
    } catch (const Caught &failure) {
        return failure.code;
    } catch (const std::bad_alloc &) {
        return codes.out_of_memory;
    } catch (...) {
        return codes.unexpected;
    }
}

} // namespace morvane
