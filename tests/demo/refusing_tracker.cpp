// A tracker component of the tests' own, registered under CoMorvane's class
// identifier in a test registry: it refuses at the step named by the environment
// variable TRACKDEMO_REFUSE ("create_morvane", "direct_interface" or "tracking"),
// so that the program's failure paths can be reached with a real activation.
#include "tracker_stub.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <dlfcn.h>

namespace {

std::atomic<long> live_objects{0};

bool refuses(const char *step)
{
    const char *chosen = std::getenv("TRACKDEMO_REFUSE");
    return chosen != nullptr && std::strcmp(chosen, step) == 0;
}

class RefusingTracker final : public trackdemo::testing::TrackerStub, public _IMorvane {
public:
    RefusingTracker() { ++live_objects; }
    RefusingTracker(const RefusingTracker &) = delete;
    RefusingTracker &operator=(const RefusingTracker &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IMorvane)
            *object = static_cast<IMorvane *>(this);
        else if (riid == IID__IMorvane && !refuses("direct_interface"))
            *object = static_cast<_IMorvane *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const long left = --references_;
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE put_lines(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE put_columns(LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE create_morvane() override { return refuses("create_morvane") ? E_FAIL : S_OK; }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override { return S_OK; }

    HRESULT STDMETHODCALLTYPE _track_corners(BYTE *, BYTE *, LONG count, FLOAT *featA, FLOAT *featB, BYTE *status,
                                             FLOAT *) override
    {
        if (refuses("tracking"))
            return E_FAIL;
        for (LONG i = 0; i < count; ++i) {
            featB[2 * i] = featA[2 * i];
            featB[2 * i + 1] = featA[2 * i + 1];
            status[i] = 1;
        }
        return S_OK;
    }

private:
    ~RefusingTracker() { --live_objects; }

    std::atomic<long> references_{0};
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *object = static_cast<IClassFactory *>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        auto *tracker = new (std::nothrow) RefusingTracker;
        if (tracker == nullptr)
            return E_OUTOFMEMORY;
        tracker->AddRef();
        const HRESULT result = tracker->QueryInterface(riid, object);
        tracker->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory factory;

std::string own_path()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&own_path), &info) == 0 || info.dli_fname == nullptr)
        return {};
    char *resolved = realpath(info.dli_fname, nullptr);
    if (resolved == nullptr)
        return {};
    std::string path(resolved);
    std::free(resolved);
    return path;
}

LSTATUS set_text(HKEY key, const char *name, const std::string &text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID *object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_CoMorvane)
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow()
{
    return live_objects == 0 ? S_OK : S_FALSE;
}

// Registers this library as CoMorvane's in-process server.
STDAPI DllRegisterServer()
{
    const std::string path = own_path();
    if (path.empty())
        return E_UNEXPECTED;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\InprocServer32", 0,
                        nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    const bool written =
        set_text(key, nullptr, path) == ERROR_SUCCESS && set_text(key, "ThreadingModel", "Both") == ERROR_SUCCESS;
    RegCloseKey(key);
    return written ? S_OK : E_FAIL;
}
