/* Marshaling interfaces. This platform has no apartments: interface pointers are
 * usable on every thread of a process as they are. */
#ifndef MORVANE_OBJIDL_H
#define MORVANE_OBJIDL_H

#include "unknwn.h"

MV_DECLARE_IID(IID_IMarshal);
MV_FORWARD_INTERFACE(IMarshal);
MV_FORWARD_INTERFACE(IStream);
typedef IMarshal *LPMARSHAL;
typedef IStream *LPSTREAM;

#undef INTERFACE
#define INTERFACE IMarshal
DECLARE_INTERFACE_(IMarshal, IUnknown)
{
    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;
    STDMETHOD_(ULONG, Release)(THIS) PURE;
    STDMETHOD(GetUnmarshalClass)(THIS_ REFIID riid, void *pv, DWORD dwDestContext,
                                 void *pvDestContext, DWORD mshlflags, CLSID *pCid) PURE;
    STDMETHOD(GetMarshalSizeMax)(THIS_ REFIID riid, void *pv, DWORD dwDestContext,
                                 void *pvDestContext, DWORD mshlflags, DWORD *pSize) PURE;
    STDMETHOD(MarshalInterface)(THIS_ IStream *pStm, REFIID riid, void *pv, DWORD dwDestContext,
                                void *pvDestContext, DWORD mshlflags) PURE;
    STDMETHOD(UnmarshalInterface)(THIS_ IStream *pStm, REFIID riid, void **ppv) PURE;
    STDMETHOD(ReleaseMarshalData)(THIS_ IStream *pStm) PURE;
    STDMETHOD(DisconnectObject)(THIS_ DWORD dwReserved) PURE;
};
#undef INTERFACE

#endif
