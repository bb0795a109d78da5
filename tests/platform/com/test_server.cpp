// An in-process server whose class object and instances are one object: each reference locks it.
#include "test_server.h"

#include <atomic>

namespace {

std::atomic<long> module_locks{0};

struct Server final : ITestThing {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (riid != IID_IUnknown && riid != IID_IClassFactory && riid != kTestThingInterface)
            return *ppv = nullptr, E_NOINTERFACE;
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++module_locks); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--module_locks); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override
    {
        return outer ? (*ppv = nullptr, CLASS_E_NOAGGREGATION) : QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override { return (lock ? AddRef() : Release()), S_OK; }
    LONG STDMETHODCALLTYPE Value() override { return 42; }
} server;

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID *ppv)
{
    *ppv = nullptr;
    return clsid != kTestThingClass ? CLASS_E_CLASSNOTAVAILABLE : server.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow(void) { return module_locks == 0 ? S_OK : S_FALSE; }
