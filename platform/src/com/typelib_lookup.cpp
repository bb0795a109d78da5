// LoadRegTypeLib: a registered type library found by identifier, version and
// locale, then loaded from its file.
#include "com/class_root_text.h"
#include "com/typelib_entries.h"

#include <boundary.h>
#include <scoped_key.h>

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

using morvane::ScopedKey;
using namespace morvane::com;

namespace {

HRESULT lookup_failure(LSTATUS status)
{
    return status == ERROR_FILE_NOT_FOUND ? TYPE_E_LIBNOTREGISTERED : TYPE_E_REGISTRYACCESS;
}

// The version key to use: the same major version and the highest minor
// version at least the one asked for.
std::optional<std::string> best_version(HKEY library, WORD major, WORD minor)
{
    std::optional<std::string> best;
    WORD best_minor = 0;
    for (const std::string &name : subkey_names(library, {})) {
        const auto version = parse_version(name);
        if (!version || version->first != major || version->second < minor)
            continue;
        if (!best || version->second > best_minor) {
            best = name;
            best_minor = version->second;
        }
    }
    return best;
}

// The locales to try, in order: the one asked for, its language without
// sublanguage, the language-neutral one, then any other registered locale.
std::vector<std::string> locale_order(HKEY version, LCID lcid)
{
    std::vector<std::string> registered;
    for (const std::string &name : subkey_names(version, {})) {
        if (parse_locale(name))
            registered.push_back(name);
    }
    std::vector<std::string> order;
    const auto add = [&](const std::string &name) {
        auto found = std::find_if(registered.begin(), registered.end(), [&](const std::string &r) {
            return parse_locale(r) == parse_locale(name);
        });
        if (found != registered.end()) {
            order.push_back(*found);
            registered.erase(found);
        }
    };
    add(locale_text(lcid));
    add(locale_text(lcid & 0x3FF));
    add(locale_text(0));
    order.insert(order.end(), registered.begin(), registered.end());
    return order;
}

HRESULT registered_path(REFGUID guid, WORD major, WORD minor, LCID lcid, std::string &path)
{
    ScopedKey library;
    LSTATUS status = RegOpenKeyExA(HKEY_CLASSES_ROOT, library_key(guid).c_str(), 0, KEY_READ,
                                   library.receive());
    if (status != ERROR_SUCCESS)
        return lookup_failure(status);
    const auto version_name = best_version(library.get(), major, minor);
    ScopedKey version;
    status = version_name
                 ? RegOpenKeyExA(library.get(), version_name->c_str(), 0, KEY_READ, version.receive())
                 : ERROR_FILE_NOT_FOUND;
    library.close();
    if (status != ERROR_SUCCESS)
        return lookup_failure(status);
    HRESULT hr = TYPE_E_LIBNOTREGISTERED;
    for (const std::string &locale : locale_order(version.get(), lcid)) {
        // This platform's own entry first, then one made for 32-bit clients.
        for (const char *platform : {"win64", "win32"}) {
            if (read_string(version.get(), locale + "\\" + platform, nullptr, path) == ERROR_SUCCESS &&
                !path.empty()) {
                hr = S_OK;
                break;
            }
        }
        if (hr == S_OK)
            break;
    }
    return hr;
}

} // namespace

EXTERN_C HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                ITypeLib **pptlib)
{
    if (pptlib == nullptr)
        return E_INVALIDARG;
    *pptlib = nullptr;
    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        std::string path;
        const HRESULT hr = registered_path(rguid, wVerMajor, wVerMinor, lcid, path);
        if (FAILED(hr))
            return hr;
        return LoadTypeLib(widen(path).c_str(), pptlib);
    });
}
