// ProgIDs: the names under HKEY_CLASSES_ROOT that stand for class identifiers,
// read from the entries a registration writes:
//   HKCR\CLSID\{clsid}\ProgID   default value: the ProgID
//   HKCR\<progid>\CLSID         default value: the class identifier
#include "com/class_root_text.h"

#include <boundary.h>

#include <new>
#include <string>

using namespace morvane::com;

namespace {

HRESULT lookup_result(LSTATUS status)
{
    switch (status) {
    case ERROR_SUCCESS:
        return S_OK;
    case ERROR_FILE_NOT_FOUND:
        return REGDB_E_CLASSNOTREG;
    case not_a_string:
        return REGDB_E_INVALIDVALUE;
    case ERROR_OUTOFMEMORY:
    case ERROR_NOT_ENOUGH_MEMORY:
        return E_OUTOFMEMORY;
    default:
        // The registry itself could not be read.
        return REGDB_E_READREGDB;
    }
}

} // namespace

EXTERN_C HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR *lplpszProgID)
{
    if (lplpszProgID == nullptr)
        return E_INVALIDARG;
    *lplpszProgID = nullptr;
    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        std::string text;
        const HRESULT hr = lookup_result(read_string(
            HKEY_CLASSES_ROOT, "CLSID\\" + guid_text(clsid) + "\\ProgID", nullptr, text));
        if (FAILED(hr))
            return hr;
        if (text.empty())
            return REGDB_E_CLASSNOTREG;
        const std::u16string progid = widen(text);
        auto *copy = static_cast<LPOLESTR>(CoTaskMemAlloc((progid.size() + 1) * sizeof(OLECHAR)));
        if (copy == nullptr)
            return E_OUTOFMEMORY;
        progid.copy(copy, progid.size());
        copy[progid.size()] = u'\0';
        *lplpszProgID = copy;
        return S_OK;
    });
}

EXTERN_C HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid)
{
    if (lpszProgID == nullptr || lpclsid == nullptr)
        return E_INVALIDARG;
    *lpclsid = CLSID_NULL;
    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        const std::string progid = narrow(lpszProgID);
        // One key name: a backslash would reach into some other key.
        if (progid.empty() || progid.find('\\') != std::string::npos)
            return CO_E_CLASSSTRING;
        std::string text;
        const HRESULT hr = lookup_result(
            read_string(HKEY_CLASSES_ROOT, progid + "\\CLSID", nullptr, text));
        if (FAILED(hr))
            return hr;
        CLSID clsid;
        if (FAILED(CLSIDFromString(widen(text).c_str(), &clsid)))
            return CO_E_CLASSSTRING;
        *lpclsid = clsid;
        return S_OK;
    });
}
