// CoGetClassObject, CoCreateInstance and CoFreeUnusedLibraries for in-process
// servers: the class's InprocServer32 entry names the library, which is loaded once
// per process and asked for its class object through DllGetClassObject. The path
// is read from the registry on every activation, so that a class registered,
// moved or removed since is seen at once.
#include "com/class_registration.h"
#include "com/initialization.h"
#include "com/server_libraries.h"

#include <windows.h>

namespace {

constexpr DWORD server_contexts =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

HRESULT class_object(REFCLSID clsid, DWORD context, REFIID riid, void **ppv)
{
    if (!(context & server_contexts))
        return E_INVALIDARG;
    if (!morvane::com::initialized_on_this_thread())
        return CO_E_NOTINITIALIZED;
    // Only in-process servers exist here: a class is not registered for other contexts.
    if (!(context & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    std::string path;
    const HRESULT hr = morvane::com::inproc_server_path(clsid, path);
    if (FAILED(hr))
        return hr;
    return morvane::com::server_class_object(path, clsid, riid, ppv);
}

} // namespace

EXTERN_C MVAPI HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid,
                                        LPVOID *ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    const HRESULT hr = class_object(rclsid, dwClsContext, riid, ppv);
    if (FAILED(hr))
        *ppv = nullptr; // also when a server left something behind
    return hr;
}

EXTERN_C MVAPI HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                        REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    void *factory_pointer = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, &factory_pointer);
    if (FAILED(hr))
        return hr;
    if (!factory_pointer) // a server that reported success without an object
        return E_UNEXPECTED;
    auto *factory = static_cast<IClassFactory *>(factory_pointer);
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}

EXTERN_C MVAPI void CoFreeUnusedLibraries(void)
{
    morvane::com::free_unused_server_libraries();
}
