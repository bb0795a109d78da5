// Each thread's current error-information record.
#include <oleauto.h>

#include <utility>

namespace {

thread_local IErrorInfo *current_record = nullptr;

// Releases the thread's record when the thread ends.
struct RecordReleaser {
    ~RecordReleaser()
    {
        if (IErrorInfo *left = std::exchange(current_record, nullptr))
            left->Release();
    }
};
thread_local RecordReleaser releaser;

} // namespace

EXTERN_C HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo *perrinfo)
{
    if (dwReserved != 0)
        return E_INVALIDARG;
    (void)&releaser; // makes sure this thread releases its record when it ends
    if (perrinfo != nullptr)
        perrinfo->AddRef();
    // The old record is released only after it has left the slot, so that its
    // release may itself set or fetch this thread's record.
    if (IErrorInfo *earlier = std::exchange(current_record, perrinfo))
        earlier->Release();
    return S_OK;
}

EXTERN_C HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo **pperrinfo)
{
    if (pperrinfo == nullptr || dwReserved != 0)
        return E_INVALIDARG;
    // The caller takes over the slot's reference; the thread no longer has a record.
    *pperrinfo = std::exchange(current_record, nullptr);
    return *pperrinfo == nullptr ? S_FALSE : S_OK;
}
