// ProgIDs: the names under HKEY_CLASSES_ROOT that stand for class identifiers,
// read from the entries a registration writes:
//   HKCR\CLSID\{clsid}\ProgID   default value: the ProgID
//   HKCR\<progid>\CLSID         default value: the class identifier
#include <windows.h>

#include <new>
#include <string>

namespace {

// Beyond the system error codes: the value exists but does not hold text.
constexpr LSTATUS not_a_string = -1;

// The default value of HKCR\<path> as text, up to its terminator.
LSTATUS read_default_string(const std::string &path, std::string &text)
{
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    DWORD type = REG_NONE;
    DWORD size = 0;
    status = RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size);
    // The value may grow between the size query and the read.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        text.assign(size, '\0');
        status = RegQueryValueExA(key, nullptr, nullptr, &type,
                                  reinterpret_cast<BYTE *>(text.data()), &size);
        if (status == ERROR_SUCCESS) {
            text.resize(size);
            break;
        }
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return not_a_string;
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return ERROR_SUCCESS;
}

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

std::u16string widen(const std::string &text)
{
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string narrow(LPCOLESTR text)
{
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), length, nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(length - 1));
    return ansi;
}

} // namespace

EXTERN_C HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR *lplpszProgID)
{
    if (lplpszProgID == nullptr)
        return E_INVALIDARG;
    *lplpszProgID = nullptr;
    try {
        OLECHAR braced[CHARS_IN_GUID];
        StringFromGUID2(clsid, braced, CHARS_IN_GUID);
        std::string text;
        const HRESULT hr = lookup_result(
            read_default_string("CLSID\\" + narrow(braced) + "\\ProgID", text));
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
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

EXTERN_C HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid)
{
    if (lpszProgID == nullptr || lpclsid == nullptr)
        return E_INVALIDARG;
    *lpclsid = CLSID_NULL;
    try {
        const std::string progid = narrow(lpszProgID);
        // One key name: a backslash would reach into some other key.
        if (progid.empty() || progid.find('\\') != std::string::npos)
            return CO_E_CLASSSTRING;
        std::string text;
        const HRESULT hr = lookup_result(read_default_string(progid + "\\CLSID", text));
        if (FAILED(hr))
            return hr;
        CLSID clsid;
        if (FAILED(CLSIDFromString(widen(text).c_str(), &clsid)))
            return CO_E_CLASSSTRING;
        *lpclsid = clsid;
        return S_OK;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}
