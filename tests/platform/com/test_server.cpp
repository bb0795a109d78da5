// A minimal in-process server: one class, a class object that locks the module
// while clients hold it, and a module lock count behind DllCanUnloadNow.
#include "test_server.h"

#include <atomic>
#include <new>

namespace {

std::atomic<long> module_locks{0};

// Hands out `self` for IUnknown and the one other interface an object has.
HRESULT query(IUnknown *self, REFIID asked, REFIID own, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = asked == IID_IUnknown || asked == own ? self : nullptr;
    return *ppv ? self->AddRef(), S_OK : E_NOINTERFACE;
}

class Thing final : public ITestThing {
public:
    Thing() { ++module_locks; }
    ~Thing() { --module_locks; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        return query(this, riid, kTestThingInterface, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG count = --count_;
        if (count == 0)
            delete this;
        return count;
    }
    LONG STDMETHODCALLTYPE Value() override { return 42; }

private:
    std::atomic<ULONG> count_{1};
};

// A static object: each client reference is a module lock.
class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        return query(this, riid, IID_IClassFactory, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++module_locks) + 1; }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--module_locks) + 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override
    {
        if (outer)
            return *ppv = nullptr, CLASS_E_NOAGGREGATION;
        auto *thing = new Thing;
        const HRESULT hr = thing->QueryInterface(riid, ppv);
        thing->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? ++module_locks : --module_locks;
        return S_OK;
    }
} factory;

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID *ppv)
{
    *ppv = nullptr;
    return clsid != kTestThingClass ? CLASS_E_CLASSNOTAVAILABLE : factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow(void)
{
    return module_locks == 0 ? S_OK : S_FALSE;
}
