/* The C view of the runtime's headers: Windows x64 sizes, offsets and table slots. */
#include <windows.h>
#include <stddef.h>

_Static_assert(sizeof(VARIANT) == 24, "VARIANT is 24 bytes");
_Static_assert(offsetof(VARIANT, lVal) == 8 && offsetof(VARIANT, dblVal) == 8 && offsetof(VARIANT, parray) == 8,
               "VARIANT data at offset 8");
_Static_assert(offsetof(VARIANT, pRecInfo) == 16, "VARIANT record information at offset 16");
_Static_assert(sizeof(SAFEARRAY) == 32, "SAFEARRAY with one bound is 32 bytes");
_Static_assert(offsetof(SAFEARRAY, pvData) == 16, "SAFEARRAY data pointer at 16");
_Static_assert(offsetof(SAFEARRAY, rgsabound) == 24, "SAFEARRAY bounds at 24");
_Static_assert(offsetof(SAFEARRAY, cbElements) == 4 && offsetof(SAFEARRAY, cLocks) == 8, "sizes at 4, locks at 8");
_Static_assert(sizeof(GUID) == 16 && sizeof(LONG) == 4 && sizeof(DWORD) == 4 && sizeof(WCHAR) == 2, "basic sizes");
_Static_assert(sizeof(HKEY) == sizeof(void *), "handles are pointers");
_Static_assert(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) == (HRESULT)0x80070002 && HRESULT_FROM_WIN32(0) == S_OK,
               "Win32 codes as results");
_Static_assert(sizeof(DISPPARAMS) == 24 && sizeof(EXCEPINFO) == 64 && sizeof(DECIMAL) == 16, "automation sizes");
_Static_assert(offsetof(EXCEPINFO, scode) == 56 && sizeof(SAFEARRAYBOUND) == 8, "EXCEPINFO.scode at 56, bounds of 8");
_Static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(SYSTEM_INFO) == 48 && sizeof(CRITICAL_SECTION) == 40,
               "kernel sizes");
_Static_assert(offsetof(SYSTEM_INFO, dwNumberOfProcessors) == 32, "SYSTEM_INFO processor count at 32");
_Static_assert(offsetof(IDispatchVtbl, Invoke) == 6 * sizeof(void *), "Invoke is slot 6");
_Static_assert(offsetof(IClassFactoryVtbl, LockServer) == 4 * sizeof(void *), "LockServer is slot 4");
_Static_assert(offsetof(IErrorInfoVtbl, GetHelpContext) == 7 * sizeof(void *), "GetHelpContext is slot 7");
_Static_assert(sizeof(TYPEDESC) == 16, "TYPEDESC is 16 bytes");
_Static_assert(sizeof(ELEMDESC) == 32, "ELEMDESC is 32 bytes");
_Static_assert(sizeof(TYPEATTR) == 96, "TYPEATTR is 96 bytes");
_Static_assert(offsetof(TYPEATTR, wTypeFlags) == 58, "TYPEATTR.wTypeFlags at 58");
_Static_assert(sizeof(FUNCDESC) == 88, "FUNCDESC is 88 bytes");
_Static_assert(offsetof(FUNCDESC, oVft) == 40, "FUNCDESC.oVft at 40");
_Static_assert(sizeof(TLIBATTR) == 32, "TLIBATTR is 32 bytes");
_Static_assert(offsetof(TLIBATTR, wLibFlags) == 28, "TLIBATTR.wLibFlags at 28");
_Static_assert(sizeof(ITypeLibVtbl) == 13 * sizeof(void *), "ITypeLib has 13 slots");
_Static_assert(offsetof(ITypeLibVtbl, GetTypeInfoType) == 5 * sizeof(void *), "GetTypeInfoType is slot 5");
_Static_assert(sizeof(ITypeInfoVtbl) == 22 * sizeof(void *), "ITypeInfo has 22 slots");
_Static_assert(offsetof(ITypeInfoVtbl, GetTypeAttr) == 3 * sizeof(void *), "GetTypeAttr is slot 3");
_Static_assert(offsetof(ITypeInfoVtbl, ReleaseTypeAttr) == 19 * sizeof(void *), "ReleaseTypeAttr is slot 19");
_Static_assert(sizeof(ITypeInfo2Vtbl) == 37 * sizeof(void *), "ITypeInfo2 has 37 slots");
