// The error-information record: one object that is written through

#include <boundary.h>
// ICreateErrorInfo and read through IErrorInfo.
#include <oleauto.h>

#include <atomic>
#include <mutex>
#include <new>
#include <optional>
#include <string>

namespace {

class ErrorRecord final : public ICreateErrorInfo, public IErrorInfo {
public:
    // IUnknown, shared by both interfaces. The ICreateErrorInfo base is the identity.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ICreateErrorInfo))
            *ppv = static_cast<ICreateErrorInfo *>(this);
        else if (IsEqualIID(riid, IID_IErrorInfo))
            *ppv = static_cast<IErrorInfo *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // ICreateErrorInfo
    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override
    {
        std::lock_guard lock(mutex_);
        guid_ = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR text) override { return store(source_, text); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR text) override { return store(description_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR text) override { return store(help_file_, text); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override
    {
        std::lock_guard lock(mutex_);
        help_context_ = context;
        return S_OK;
    }

    // IErrorInfo
    HRESULT STDMETHODCALLTYPE GetGUID(GUID *out) override
    {
        if (out == nullptr)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        *out = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR *out) override { return fetch(source_, out); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR *out) override { return fetch(description_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR *out) override { return fetch(help_file_, out); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD *out) override
    {
        if (out == nullptr)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        *out = help_context_;
        return S_OK;
    }

private:
    using Text = std::optional<std::u16string>; // nothing: never set, or set to null

    ~ErrorRecord() = default;

    HRESULT store(Text &field, LPCOLESTR text)
    {
        return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
            Text value;
            if (text != nullptr)
                value.emplace(text);
            std::lock_guard lock(mutex_);
            field = std::move(value);
            return S_OK;
        });
    }

    // Each reader gets a string of its own; a field that was never set reads as null.
    HRESULT fetch(const Text &field, BSTR *out)
    {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = nullptr;
        std::lock_guard lock(mutex_);
        if (!field)
            return S_OK;
        *out = SysAllocStringLen(field->data(), static_cast<UINT>(field->size()));
        return *out == nullptr ? E_OUTOFMEMORY : S_OK;
    }

    std::atomic<ULONG> references_{1};
    std::mutex mutex_;
    GUID guid_ = GUID_NULL;
    Text source_, description_, help_file_;
    DWORD help_context_ = 0;
};

} // namespace

EXTERN_C HRESULT CreateErrorInfo(ICreateErrorInfo **pperrinfo)
{
    if (pperrinfo == nullptr)
        return E_INVALIDARG;
    *pperrinfo = new (std::nothrow) ErrorRecord();
    return *pperrinfo == nullptr ? E_OUTOFMEMORY : S_OK;
}
