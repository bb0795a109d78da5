/* Marshaling interfaces. This platform has no apartments: interface pointers are
 * usable on every thread of a process as they are. */
#pragma once

#include "unknwn.h"

MV_DECLARE_IID(IID_IMarshal);
MV_DECLARE_IID(CLSID_InProcFreeMarshaler);
MV_FORWARD_INTERFACE(IMarshal);
MV_FORWARD_INTERFACE(ISequentialStream);
MV_FORWARD_INTERFACE(IStream);
typedef IMarshal *LPMARSHAL;
typedef IStream *LPSTREAM;

/* Where an unmarshaled pointer will be used. */
typedef enum tagMSHCTX MV_ENUM_INT {
    MSHCTX_LOCAL = 0,
    MSHCTX_NOSHAREDMEM = 1,
    MSHCTX_DIFFERENTMACHINE = 2,
    MSHCTX_INPROC = 3,
    MSHCTX_CROSSCTX = 4
} MSHCTX;

/* How long marshal data stays valid. */
typedef enum tagMSHLFLAGS MV_ENUM_INT {
    MSHLFLAGS_NORMAL = 0,
    MSHLFLAGS_TABLESTRONG = 1,
    MSHLFLAGS_TABLEWEAK = 2,
    MSHLFLAGS_NOPING = 4
} MSHLFLAGS;

/* The byte-stream base of IStream: an IStream's table begins with these members,
 * so an IStream pointer may be used through this declaration. */
#undef INTERFACE
#define INTERFACE ISequentialStream
DECLARE_INTERFACE_(ISequentialStream, IUnknown)
{
    STDMETHOD(QueryInterface)(THIS_ REFIID riid, void **ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)(THIS) PURE;
    STDMETHOD_(ULONG, Release)(THIS) PURE;
    STDMETHOD(Read)(THIS_ void *pv, ULONG cb, ULONG *pcbRead) PURE;
    STDMETHOD(Write)(THIS_ const void *pv, ULONG cb, ULONG *pcbWritten) PURE;
};

/* IMarshal of the free-threaded marshaler (CoCreateFreeThreadedMarshaler). Its
 * marshal data is the interface pointer itself, valid only inside the process;
 * streams are used through their ISequentialStream members (Read, Write).
 * - GetUnmarshalClass: CLSID_InProcFreeMarshaler for MSHCTX_INPROC and
 *   MSHCTX_CROSSCTX; E_NOTIMPL for any destination outside the process (this
 *   platform has no cross-process marshaling); E_INVALIDARG for a null pCid.
 * - GetMarshalSizeMax: the size of the marshal data for the in-process contexts,
 *   E_NOTIMPL for the others, E_INVALIDARG for a null pSize.
 * - MarshalInterface: in-process contexts only (else E_NOTIMPL); queries pv for
 *   riid and writes the pointer and mshlflags to the stream. The data holds that
 *   reference, except for MSHLFLAGS_TABLEWEAK data, which holds none. A null
 *   stream or pv, or unknown lifetime flags, give E_INVALIDARG; a failed query or
 *   write gives its code (E_FAIL for a short write) and keeps no reference.
 * - UnmarshalInterface: reads the data and queries its object for riid into
 *   *ppv. Normal data is then used up, also when the query fails: its reference
 *   is released. Table data stays valid for further unmarshaling. Null
 *   arguments or short or malformed data give E_INVALIDARG (*ppv is null on
 *   every failure).
 * - ReleaseMarshalData: reads the data and releases the reference it holds
 *   (none for weak table data); malformed data gives E_INVALIDARG.
 * - DisconnectObject: S_OK; an in-process pointer has no connection to cut. */
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
