/* The component system: initialisation, activation, identifiers and the task allocator. */
#pragma once

#include "unknwn.h"
#include "objidl.h"

typedef enum tagCLSCTX MV_ENUM_INT {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef enum tagCOINIT MV_ENUM_INT {
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_MULTITHREADED = 0x0,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

/* Length of a braced identifier with its terminating zero. */
#define CHARS_IN_GUID 39

MV_BEGIN_C

MVAPI LPVOID CoTaskMemAlloc(SIZE_T cb);
MVAPI LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
MVAPI void CoTaskMemFree(LPVOID pv);

MVAPI HRESULT CoInitialize(LPVOID pvReserved);
MVAPI HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
MVAPI void CoUninitialize(void);
MVAPI HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                               LPVOID *ppv);
MVAPI HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                               LPVOID *ppv);
MVAPI void CoFreeUnusedLibraries(void);
MVAPI HRESULT CoCreateFreeThreadedMarshaler(LPUNKNOWN punkOuter, LPUNKNOWN *ppunkMarshal);

MVAPI HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR *lplpszProgID);
MVAPI HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);

MVAPI int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
MVAPI HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
MVAPI HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid);

MV_END_C
