// Test objects that count their references and never delete themselves, so that
// a test can see exactly how many references the runtime took and gave back.
#pragma once

#include <windows.h>

#include <atomic>

// Answers IUnknown and the interface named by own.
template <typename Interface, const IID &own>
struct Counting : Interface {
    std::atomic<ULONG> references{1};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, own) ? this : nullptr;
        if (*ppv == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

using CountingUnknown = Counting<IUnknown, IID_IUnknown>;

// The IUnknown and IDispatch part of a dual interface's table, for test objects that
// add their members after it; its own IDispatch members are never meant to run.
struct CountingDispatch : Counting<IDispatch, IID_IDispatch> {
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }
};

// An error record of the caller's own making, as a component may hand to SetErrorInfo.
struct CountingErrorInfo : Counting<IErrorInfo, IID_IErrorInfo> {
    HRESULT STDMETHODCALLTYPE GetGUID(GUID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD *) override { return E_NOTIMPL; }
};
