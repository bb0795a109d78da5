// The names and texts of a registered type library's entries (library, version, locale
// and platform keys) and the list of interfaces its registration registers.
#include "com/typelib_entries.h"

#include "com/class_root_text.h"

#include <cstdio>
#include <cstdlib>

namespace morvane::com {
namespace {

// The marshalers of automation interfaces and of dispinterfaces.
constexpr const char *automation_marshaler = "{00020424-0000-0000-C000-000000000046}";
constexpr const char *dispatch_marshaler = "{00020420-0000-0000-C000-000000000046}";

std::optional<unsigned long> parse_hex(const std::string &text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    for (char c : text) {
        const bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
                           (c >= 'A' && c <= 'F');
        if (!digit)
            return std::nullopt;
    }
    return std::strtoul(text.c_str(), nullptr, 16);
}

} // namespace

std::string library_key(REFGUID libid) { return "TypeLib\\" + guid_text(libid); }

std::string version_text(WORD major, WORD minor)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x.%x", major, minor);
    return text;
}

std::optional<std::pair<WORD, WORD>> parse_version(const std::string &text)
{
    const std::size_t dot = text.find('.');
    if (dot == std::string::npos)
        return std::nullopt;
    const auto major = parse_hex(text.substr(0, dot));
    const auto minor = parse_hex(text.substr(dot + 1));
    if (!major || !minor || *major > 0xFFFF || *minor > 0xFFFF)
        return std::nullopt;
    return std::pair<WORD, WORD>(static_cast<WORD>(*major), static_cast<WORD>(*minor));
}

std::string locale_text(LCID lcid)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", lcid);
    return text;
}

std::optional<LCID> parse_locale(const std::string &text)
{
    const auto value = parse_hex(text);
    if (!value)
        return std::nullopt;
    return static_cast<LCID>(*value);
}

const char *platform_name(SYSKIND kind)
{
    switch (kind) {
    case SYS_WIN16:
        return "win16";
    case SYS_WIN32:
        return "win32";
    case SYS_MAC:
        return "mac";
    case SYS_WIN64:
        return "win64";
    }
    return nullptr;
}

std::string interface_key(REFIID iid) { return "Interface\\" + guid_text(iid); }

HRESULT registered_interfaces(ITypeLib *library, std::vector<InterfaceEntry> &entries)
{
    const UINT count = library->GetTypeInfoCount();
    for (UINT index = 0; index < count; ++index) {
        TYPEKIND kind;
        HRESULT hr = library->GetTypeInfoType(index, &kind);
        if (FAILED(hr))
            return hr;
        if (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH)
            continue;
        ITypeInfo *info = nullptr;
        hr = library->GetTypeInfo(index, &info);
        if (FAILED(hr))
            return hr;
        TYPEATTR *attr = nullptr;
        hr = info->GetTypeAttr(&attr);
        if (FAILED(hr)) {
            info->Release();
            return hr;
        }
        const IID iid = attr->guid;
        const bool automation = (attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) != 0;
        info->ReleaseTypeAttr(attr);
        info->Release();
        if (kind == TKIND_INTERFACE && !automation)
            continue;
        OwnedBstr name;
        hr = library->GetDocumentation(static_cast<INT>(index), &name.text, nullptr, nullptr,
                                       nullptr);
        if (FAILED(hr))
            return hr;
        entries.push_back({iid, name.ansi(),
                           automation ? automation_marshaler : dispatch_marshaler});
    }
    return S_OK;
}

} // namespace morvane::com
