/* Automation services: strings, variants, safe arrays, error records,
 * late-bound calls and type libraries. */
#pragma once

#include "oaidl.h"
#include "oatypelib.h"

MV_BEGIN_C

/* Length-prefixed UTF-16 strings: a 32-bit byte length precedes the characters. */
MVAPI BSTR SysAllocString(const OLECHAR *psz);
MVAPI BSTR SysAllocStringLen(const OLECHAR *strIn, UINT ui);
/* A string of len bytes (copied from psz when it is not null); the byte length may be odd. */
MVAPI BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
MVAPI void SysFreeString(BSTR bstrString);
MVAPI UINT SysStringLen(BSTR pbstr);
MVAPI UINT SysStringByteLen(BSTR bstr);

MVAPI void VariantInit(VARIANTARG *pvarg);
MVAPI HRESULT VariantClear(VARIANTARG *pvarg);
MVAPI HRESULT VariantCopy(VARIANTARG *pvargDest, const VARIANTARG *pvargSrc);
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
MVAPI HRESULT VariantChangeType(VARIANTARG *pvargDest, const VARIANTARG *pvarSrc, USHORT wFlags,
                                VARTYPE vt);
MVAPI HRESULT VarUI4FromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, ULONG *pulOut);

/* Bounds are given first dimension first; elements are laid out column-major. */
MVAPI SAFEARRAY *SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND *rgsabound);
MVAPI SAFEARRAY *SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
MVAPI HRESULT SafeArrayDestroy(SAFEARRAY *psa);
MVAPI HRESULT SafeArrayCopy(SAFEARRAY *psa, SAFEARRAY **ppsaOut);
MVAPI HRESULT SafeArrayAccessData(SAFEARRAY *psa, void **ppvData);
MVAPI HRESULT SafeArrayUnaccessData(SAFEARRAY *psa);
MVAPI HRESULT SafeArrayLock(SAFEARRAY *psa);
MVAPI HRESULT SafeArrayUnlock(SAFEARRAY *psa);
MVAPI UINT SafeArrayGetDim(SAFEARRAY *psa);
MVAPI UINT SafeArrayGetElemsize(SAFEARRAY *psa);
MVAPI HRESULT SafeArrayGetLBound(SAFEARRAY *psa, UINT nDim, LONG *plLbound);
MVAPI HRESULT SafeArrayGetUBound(SAFEARRAY *psa, UINT nDim, LONG *plUbound);
MVAPI HRESULT SafeArrayGetVartype(SAFEARRAY *psa, VARTYPE *pvt);

/* Per-thread error records. */
MVAPI HRESULT CreateErrorInfo(ICreateErrorInfo **pperrinfo);
MVAPI HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo *perrinfo);
MVAPI HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo **pperrinfo);

/* Calls a member of an object's table by slot offset, arguments as variants
 * (CALLCONV is declared with the function descriptions in oatypelib.h). */
MVAPI HRESULT DispCallFunc(void *pvInstance, ULONG_PTR oVft, CALLCONV cc, VARTYPE vtReturn,
                           UINT cActuals, VARTYPE *prgvt, VARIANTARG **prgpvarg,
                           VARIANT *pvargResult);

typedef enum tagREGKIND MV_ENUM_INT { REGKIND_DEFAULT = 0, REGKIND_REGISTER = 1, REGKIND_NONE = 2 } REGKIND;
MVAPI HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib **pptlib);
MVAPI HRESULT LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib **pptlib);
MVAPI HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                             ITypeLib **pptlib);
MVAPI HRESULT RegisterTypeLib(ITypeLib *ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir);
MVAPI HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                SYSKIND syskind);

MV_END_C
