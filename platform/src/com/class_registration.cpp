// Reads a class's InprocServer32 entry from the classes root.
#include "com/class_registration.h"

#include <boundary.h>

#include <algorithm>
#include <new>
#include <vector>

namespace {

std::string server_key_name(REFCLSID clsid)
{
    OLECHAR wide[CHARS_IN_GUID];
    const int length = StringFromGUID2(clsid, wide, CHARS_IN_GUID);
    std::string name = "CLSID\\";
    // The braced form is plain ASCII: hexadecimal digits, braces and hyphens.
    for (int i = 0; i + 1 < length; ++i)
        name += static_cast<char>(wide[i]);
    name += "\\InprocServer32";
    return name;
}

HRESULT read_failure(LSTATUS status)
{
    // A key removed between opening it and reading its value (by an unregistration
    // in another process, say) leaves the class as unregistered as a missing key.
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_KEY_DELETED ? REGDB_E_CLASSNOTREG
                                                                         : REGDB_E_READREGDB;
}

} // namespace

namespace morvane::com {

HRESULT inproc_server_path(REFCLSID clsid, std::string &path)
{
    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        // One call in the usual case; a longer value, or one that grew
        // between asking its size and reading it, is asked for again.
        const std::string key = server_key_name(clsid);
        std::vector<char> text(MAX_PATH);
        LSTATUS status = ERROR_MORE_DATA;
        DWORD size = 0;
        while (status == ERROR_MORE_DATA) {
            size = static_cast<DWORD>(text.size());
            status = RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &size);
            if (status == ERROR_MORE_DATA)
                text.resize(size + 1);
        }
        // Another type than text names no server.
        if (status == ERROR_UNSUPPORTED_TYPE)
            return REGDB_E_CLASSNOTREG;
        if (status != ERROR_SUCCESS)
            return read_failure(status);
        // The stored text ends at its first zero, whether or not one was stored.
        path.assign(text.data(), size);
        path.resize(std::min(path.size(), path.find('\0')));
        return path.empty() ? REGDB_E_CLASSNOTREG : S_OK;
    });
}

} // namespace morvane::com
