// RegisterTypeLib and UnRegisterTypeLib: the entries of typelib_entries.h.
#include "com/class_root_text.h"
#include "com/typelib_entries.h"

#include <boundary.h>
#include <scoped_key.h>

#include <new>
#include <string>
#include <strings.h>
#include <vector>

using morvane::ScopedKey;
using namespace morvane::com;

namespace {

// The library's help string, or its name when it has none.
std::string library_description(ITypeLib *library)
{
    OwnedBstr name, help;
    if (FAILED(library->GetDocumentation(-1, &name.text, &help.text, nullptr, nullptr)))
        return {};
    const std::string text = help.ansi();
    return text.empty() ? name.ansi() : text;
}

// Writes every entry; the first failure ends the writing.
class EntryWriter {
public:
    void write(const std::string &path, const std::string &text, const char *name = nullptr)
    {
        if (status_ == ERROR_SUCCESS)
            status_ = write_string_at(HKEY_CLASSES_ROOT, path, name, text);
    }
    HRESULT result() const
    {
        if (status_ == ERROR_OUTOFMEMORY || status_ == ERROR_NOT_ENOUGH_MEMORY)
            return E_OUTOFMEMORY;
        return status_ == ERROR_SUCCESS ? S_OK : TYPE_E_REGISTRYACCESS;
    }

private:
    LSTATUS status_ = ERROR_SUCCESS;
};

void delete_key_if_empty(const std::string &path)
{
    if (is_empty_key(HKEY_CLASSES_ROOT, path))
        RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
}

// Removes what registering wrote under Interface\{iid}, for every interface
// whose entry names this library and version; other contents stay.
void remove_interface_entries(const std::string &libid, const std::string &version)
{
    for (const std::string &iid : subkey_names(HKEY_CLASSES_ROOT, "Interface")) {
        const std::string key = "Interface\\" + iid;
        std::string owner, owner_version;
        if (read_string(HKEY_CLASSES_ROOT, key + "\\TypeLib", nullptr, owner) != ERROR_SUCCESS ||
            read_string(HKEY_CLASSES_ROOT, key + "\\TypeLib", "Version", owner_version) !=
                ERROR_SUCCESS ||
            strcasecmp(owner.c_str(), libid.c_str()) != 0 || owner_version != version)
            continue;
        for (const char *entry : {"TypeLib", "ProxyStubClsid", "ProxyStubClsid32"})
            RegDeleteTreeA(HKEY_CLASSES_ROOT, (key + "\\" + entry).c_str());
        ScopedKey opened;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_SET_VALUE, opened.receive()) ==
            ERROR_SUCCESS)
            RegDeleteValueA(opened.get(), nullptr);
        opened.close();
        delete_key_if_empty(key);
    }
}

// Whether any subkey other than FLAGS and HELPDIR (that is, a locale) is left.
bool has_locales(const std::string &version_key)
{
    for (const std::string &name : subkey_names(HKEY_CLASSES_ROOT, version_key)) {
        if (strcasecmp(name.c_str(), "FLAGS") != 0 && strcasecmp(name.c_str(), "HELPDIR") != 0)
            return true;
    }
    return false;
}

} // namespace

EXTERN_C HRESULT RegisterTypeLib(ITypeLib *ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir)
{
    if (ptlib == nullptr || szFullPath == nullptr)
        return E_INVALIDARG;
    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        TLIBATTR *attr = nullptr;
        HRESULT hr = ptlib->GetLibAttr(&attr);
        if (FAILED(hr))
            return hr;
        const TLIBATTR library = *attr;
        ptlib->ReleaseTLibAttr(attr);
        const char *platform = platform_name(library.syskind);
        if (platform == nullptr)
            return E_INVALIDARG;
        std::vector<InterfaceEntry> interfaces;
        hr = registered_interfaces(ptlib, interfaces);
        if (FAILED(hr))
            return hr;

        const std::string libid = guid_text(library.guid);
        const std::string version = version_text(library.wMajorVerNum, library.wMinorVerNum);
        const std::string version_key = library_key(library.guid) + "\\" + version;
        EntryWriter writer;
        writer.write(version_key, library_description(ptlib));
        writer.write(version_key + "\\" + locale_text(library.lcid) + "\\" + platform,
                     narrow(szFullPath));
        writer.write(version_key + "\\FLAGS", std::to_string(library.wLibFlags));
        writer.write(version_key + "\\HELPDIR", szHelpDir != nullptr ? narrow(szHelpDir) : "");
        for (const InterfaceEntry &entry : interfaces) {
            const std::string key = interface_key(entry.iid);
            writer.write(key, entry.name);
            writer.write(key + "\\ProxyStubClsid", entry.proxy_class);
            writer.write(key + "\\ProxyStubClsid32", entry.proxy_class);
            writer.write(key + "\\TypeLib", libid);
            writer.write(key + "\\TypeLib", version, "Version");
        }
        return writer.result();
    });
}

EXTERN_C HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                   SYSKIND syskind)
{
    const char *platform = platform_name(syskind);
    if (platform == nullptr)
        return E_INVALIDARG;
    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        const std::string version = version_text(wVerMajor, wVerMinor);
        const std::string version_key = library_key(libID) + "\\" + version;
        const std::string locale_key = version_key + "\\" + locale_text(lcid);
        const std::string entry = locale_key + "\\" + platform;
        ScopedKey key;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, entry.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
            return TYPE_E_REGISTRYACCESS;
        key.close();
        if (RegDeleteTreeA(HKEY_CLASSES_ROOT, entry.c_str()) != ERROR_SUCCESS)
            return TYPE_E_REGISTRYACCESS;
        delete_key_if_empty(locale_key);
        // The version's shared entries go with its last locale.
        if (!has_locales(version_key)) {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, (version_key + "\\FLAGS").c_str());
            RegDeleteTreeA(HKEY_CLASSES_ROOT, (version_key + "\\HELPDIR").c_str());
            if (RegOpenKeyExA(HKEY_CLASSES_ROOT, version_key.c_str(), 0, KEY_SET_VALUE, key.receive()) ==
                ERROR_SUCCESS)
                RegDeleteValueA(key.get(), nullptr);
            key.close();
            delete_key_if_empty(version_key);
            delete_key_if_empty(library_key(libID));
            remove_interface_entries(guid_text(libID), version);
        }
        return S_OK;
    });
}
