// CoCreateFreeThreadedMarshaler: an aggregatable object whose IMarshal passes
// interface pointers within the process as they are. Its own IUnknown keeps its
// own count; its IMarshal view forwards the IUnknown members to the controlling
// unknown, as every aggregated interface must.
#include <windows.h>

#include <atomic>
#include <new>

EXTERN_C MVAPI const CLSID CLSID_InProcFreeMarshaler = {
    0x0000033A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

// What MarshalInterface writes: the pointer itself, with the data's lifetime.
struct MarshalData {
    DWORD signature;
    DWORD flags;
    IUnknown *object;
};
constexpr DWORD marshal_signature = 0x4D54'4650; // "PFTM", to recognise data that is ours

bool in_process(DWORD context)
{
    return context == MSHCTX_INPROC || context == MSHCTX_CROSSCTX;
}

// The lifetime part of the flags; MSHLFLAGS_NOPING has no meaning inside a process.
DWORD lifetime(DWORD flags)
{
    return flags & ~static_cast<DWORD>(MSHLFLAGS_NOPING);
}

ISequentialStream *bytes_of(IStream *stream)
{
    return reinterpret_cast<ISequentialStream *>(stream);
}

HRESULT read_data(IStream *stream, MarshalData &data)
{
    if (!stream)
        return E_INVALIDARG;
    ULONG read = 0;
    const HRESULT hr = bytes_of(stream)->Read(&data, sizeof data, &read);
    if (FAILED(hr))
        return hr;
    if (read != sizeof data || data.signature != marshal_signature || !data.object ||
        lifetime(data.flags) > MSHLFLAGS_TABLEWEAK)
        return E_INVALIDARG;
    return S_OK;
}

class FreeThreadedMarshaler final : public IMarshal {
public:
    explicit FreeThreadedMarshaler(IUnknown *outer) : controlling_(outer ? outer : &own_) {}

    IUnknown *own_unknown() { return &own_; }

    // The IMarshal view belongs to the controlling unknown's identity.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        return controlling_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return controlling_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return controlling_->Release(); }

    HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID, void *, DWORD context, void *, DWORD,
                                                CLSID *pCid) override
    {
        if (!pCid)
            return E_INVALIDARG;
        *pCid = CLSID_NULL;
        if (!in_process(context))
            return E_NOTIMPL;
        *pCid = CLSID_InProcFreeMarshaler;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID, void *, DWORD context, void *, DWORD,
                                                DWORD *pSize) override
    {
        if (!pSize)
            return E_INVALIDARG;
        *pSize = 0;
        if (!in_process(context))
            return E_NOTIMPL;
        *pSize = sizeof(MarshalData);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE MarshalInterface(IStream *pStm, REFIID riid, void *pv, DWORD context,
                                               void *, DWORD flags) override
    {
        if (!pStm || !pv)
            return E_INVALIDARG;
        if (!in_process(context))
            return E_NOTIMPL;
        if (lifetime(flags) > MSHLFLAGS_TABLEWEAK)
            return E_INVALIDARG;
        void *object = nullptr;
        HRESULT hr = static_cast<IUnknown *>(pv)->QueryInterface(riid, &object);
        if (FAILED(hr))
            return hr;
        const MarshalData data{marshal_signature, flags, static_cast<IUnknown *>(object)};
        ULONG written = 0;
        hr = bytes_of(pStm)->Write(&data, sizeof data, &written);
        if (SUCCEEDED(hr) && written != sizeof data)
            hr = E_FAIL;
        // Weak table data keeps no reference; failed marshaling keeps none either.
        if (FAILED(hr) || lifetime(flags) == MSHLFLAGS_TABLEWEAK)
            data.object->Release();
        return FAILED(hr) ? hr : S_OK;
    }

    HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream *pStm, REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        MarshalData data{};
        HRESULT hr = read_data(pStm, data);
        if (FAILED(hr))
            return hr;
        hr = data.object->QueryInterface(riid, ppv);
        // Normal data is used up by unmarshaling, whether or not the query succeeded.
        if (lifetime(data.flags) == MSHLFLAGS_NORMAL)
            data.object->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream *pStm) override
    {
        MarshalData data{};
        const HRESULT hr = read_data(pStm, data);
        if (FAILED(hr))
            return hr;
        if (lifetime(data.flags) != MSHLFLAGS_TABLEWEAK)
            data.object->Release();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD) override { return S_OK; }

private:
    // The marshaler's own, non-delegating IUnknown: the one the aggregator holds.
    class OwnUnknown final : public IUnknown {
    public:
        explicit OwnUnknown(FreeThreadedMarshaler &marshaler) : owner_(marshaler) {}

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
        {
            if (!ppv)
                return E_POINTER;
            if (riid == IID_IUnknown) {
                *ppv = static_cast<IUnknown *>(this);
            } else if (riid == IID_IMarshal) {
                *ppv = static_cast<IMarshal *>(&owner_);
            } else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            static_cast<IUnknown *>(*ppv)->AddRef();
            return S_OK;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++owner_.count_; }
        ULONG STDMETHODCALLTYPE Release() override
        {
            const ULONG count = --owner_.count_;
            if (count == 0)
                delete &owner_;
            return count;
        }

    private:
        FreeThreadedMarshaler &owner_;
    };

    OwnUnknown own_{*this};
    std::atomic<ULONG> count_{1};
    IUnknown *controlling_;
};

} // namespace

EXTERN_C MVAPI HRESULT CoCreateFreeThreadedMarshaler(LPUNKNOWN punkOuter, LPUNKNOWN *ppunkMarshal)
{
    if (!ppunkMarshal)
        return E_INVALIDARG;
    auto *marshaler = new (std::nothrow) FreeThreadedMarshaler(punkOuter);
    *ppunkMarshal = marshaler ? marshaler->own_unknown() : nullptr;
    return marshaler ? S_OK : E_OUTOFMEMORY;
}
