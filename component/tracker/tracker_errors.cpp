// The tracker's one failure path: a per-thread error record with the message,
// the class's ProgID as source and the null interface identifier.
#include "tracker.h"

#include <morvane.h>

namespace morvane {

HRESULT Tracker::fail(HRESULT code, const char *message)
{
    report_error(message);
    return code;
}

HRESULT Tracker::report_error(const char *message)
{
    const int length = lstrlenA(message) + 1;
    const ModuleArray<WCHAR> description = allocate_module_array<WCHAR>(static_cast<size_t>(length));
    if (!description)
        return DISP_E_EXCEPTION;
    description[0] = 0;
    MultiByteToWideChar(CP_ACP, 0, message, -1, description.get(), length);

    ICreateErrorInfo *record = nullptr;
    if (FAILED(CreateErrorInfo(&record)) || !record)
        return DISP_E_EXCEPTION;
    record->SetGUID(GUID_NULL);
    // The source is the class's registered ProgID; an unregistered class
    // leaves the record without one.
    LPOLESTR prog_id = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(CLSID_CoMorvane, &prog_id)) && prog_id)
        record->SetSource(prog_id);
    CoTaskMemFree(prog_id);
    record->SetDescription(description.get());
    IErrorInfo *info = nullptr;
    if (SUCCEEDED(record->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info))) && info) {
        SetErrorInfo(0, info);
        info->Release();
    }
    record->Release();
    return DISP_E_EXCEPTION;
}

HRESULT Tracker::InterfaceSupportsErrorInfo(REFIID riid)
{
    if (IsEqualIID(riid, IID_IMorvane) || IsEqualIID(riid, IID__IMorvane))
        return S_OK;
    return S_FALSE;
}

} // namespace morvane
