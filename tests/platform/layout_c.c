/* The C view of the runtime's headers: the same sizes, offsets and table slots as in C++. */
#include <windows.h>
#include <stddef.h>

_Static_assert(sizeof(VARIANT) == 24, "VARIANT is 24 bytes");
_Static_assert(offsetof(VARIANT, lVal) == 8, "VARIANT data at offset 8");
_Static_assert(sizeof(SAFEARRAY) == 32, "SAFEARRAY with one bound is 32 bytes");
_Static_assert(offsetof(SAFEARRAY, pvData) == 16, "SAFEARRAY data pointer at 16");
_Static_assert(offsetof(SAFEARRAY, rgsabound) == 24, "SAFEARRAY bounds at 24");
_Static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");
_Static_assert(sizeof(DISPPARAMS) == 24 && sizeof(EXCEPINFO) == 64 && sizeof(DECIMAL) == 16, "automation sizes");
_Static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(SYSTEM_INFO) == 48 && sizeof(CRITICAL_SECTION) == 40,
               "kernel sizes");
_Static_assert(offsetof(IDispatchVtbl, Invoke) == 6 * sizeof(void *), "Invoke is slot 6");
_Static_assert(offsetof(IClassFactoryVtbl, LockServer) == 4 * sizeof(void *), "LockServer is slot 4");
_Static_assert(offsetof(IErrorInfoVtbl, GetHelpContext) == 7 * sizeof(void *), "GetHelpContext is slot 7");

/* Calls IUnknown::AddRef of an object through its C table. */
ULONG layout_c_add_ref(IUnknown *unknown)
{
    return unknown->lpVtbl->AddRef(unknown);
}
