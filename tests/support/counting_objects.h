// Test objects that count their references and never delete themselves, so that
// a test can see exactly how many references the runtime took and gave back.
#ifndef MORVANE_TESTS_COUNTING_OBJECTS_H
#define MORVANE_TESTS_COUNTING_OBJECTS_H

#include <windows.h>

#include <atomic>

struct CountingUnknown : IUnknown {
    std::atomic<ULONG> references{1};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

// An error record of the caller's own making, as a component may hand to SetErrorInfo.
struct CountingErrorInfo : IErrorInfo {
    std::atomic<ULONG> references{1};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IErrorInfo)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetGUID(GUID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD *) override { return E_NOTIMPL; }
};

#endif
