/* The object protocol: interface declaration macros, IUnknown and IClassFactory.
 *
 * An interface is declared once with the macros below. In C++ it becomes a
 * struct of pure virtual functions (no virtual destructor), so its table order
 * is the declaration order, base members first. In C it becomes a struct whose
 * only field is a pointer to an explicit table of function pointers taking the
 * object first; each declaration repeats its base's members so that the C
 * table holds every slot. Both views have the same binary layout. */
#pragma once

#include "wintypes.h"
#include "winerror.h"

#ifdef __cplusplus
#define interface struct
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0
#define THIS_
#define THIS void
#define DECLARE_INTERFACE(iface) struct iface
#define DECLARE_INTERFACE_(iface, base) struct iface : public base
#define MV_FORWARD_INTERFACE(iface) struct iface
#else
#define interface struct
#define STDMETHOD(method) HRESULT(STDMETHODCALLTYPE *method)
#define STDMETHOD_(type, method) type(STDMETHODCALLTYPE *method)
#define PURE
#define THIS_ INTERFACE *This,
#define THIS INTERFACE *This
#define DECLARE_INTERFACE(iface)                 \
    typedef struct iface##Vtbl iface##Vtbl;      \
    struct iface {                               \
        const iface##Vtbl *lpVtbl;               \
    };                                           \
    struct iface##Vtbl
#define DECLARE_INTERFACE_(iface, base) DECLARE_INTERFACE(iface)
#define MV_FORWARD_INTERFACE(iface) typedef struct iface iface
#endif

/* Identifiers defined by the runtime library. */
#define MV_DECLARE_IID(name) EXTERN_C MVAPI const IID name
MV_DECLARE_IID(GUID_NULL);
MV_DECLARE_IID(IID_NULL);
MV_DECLARE_IID(CLSID_NULL);
MV_DECLARE_IID(IID_IUnknown);
MV_DECLARE_IID(IID_IClassFactory);

MV_FORWARD_INTERFACE(IUnknown);
MV_FORWARD_INTERFACE(IClassFactory);
typedef IUnknown *LPUNKNOWN;
typedef IClassFactory *LPCLASSFACTORY;

#undef INTERFACE
#define INTERFACE IUnknown
DECLARE_INTERFACE(IUnknown)
{
    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;
    STDMETHOD_(ULONG, Release)(THIS) PURE;
};

#undef INTERFACE
#define INTERFACE IClassFactory
DECLARE_INTERFACE_(IClassFactory, IUnknown)
{
    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;
    STDMETHOD_(ULONG, Release)(THIS) PURE;
    STDMETHOD(CreateInstance)(THIS_ IUnknown *pUnkOuter, REFIID riid, void **ppvObject) PURE;
    STDMETHOD(LockServer)(THIS_ BOOL fLock) PURE;
};
#undef INTERFACE
