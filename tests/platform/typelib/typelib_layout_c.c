/* The C view of the type library declarations: Windows x64 sizes, offsets and slots. */
#include <windows.h>

#include <stddef.h>

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
