// The task allocator: blocks that any module of the process may free.
#include <objbase.h>

#include <cstdint>
#include <cstdlib>

namespace {
// No object may be larger than PTRDIFF_MAX; such requests fail without reaching malloc.
bool too_large(SIZE_T cb) { return cb > static_cast<SIZE_T>(PTRDIFF_MAX); }
} // namespace

EXTERN_C LPVOID CoTaskMemAlloc(SIZE_T cb)
{
    if (too_large(cb))
        return nullptr;
    // A request for 0 bytes still yields a distinct, freeable block.
    return std::malloc(cb == 0 ? 1 : cb);
}

EXTERN_C LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    if (pv == nullptr)
        return CoTaskMemAlloc(cb);
    if (cb == 0) {
        std::free(pv);
        return nullptr;
    }
    if (too_large(cb))
        return nullptr; // the old block stays valid
    return std::realloc(pv, cb); // on failure realloc leaves the old block untouched
}

EXTERN_C void CoTaskMemFree(LPVOID pv) { std::free(pv); }
