// Where the component's C++ code meets its callers: the exports and every
// interface member. Nothing may be thrown across them, so what the code inside
// throws becomes a result code here. Only allocation can throw in the
// component's own code; whatever else arrives is reported as unexpected.
#pragma once

#include <windows.h>

#include <new>

namespace morvane {

template <typename Call>
HRESULT guarded(Call call) noexcept
{
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace morvane
