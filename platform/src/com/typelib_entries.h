// The registry entries of a registered type library:
//   HKCR\TypeLib\{libid}\<major>.<minor>           default: the library's help string
//                        ...\<locale>\<platform>   default: the library's file
//                        ...\FLAGS                 default: the library flags, decimal
//                        ...\HELPDIR               default: the help folder
//   HKCR\Interface\{iid}                           default: the interface's name
//                        ...\ProxyStubClsid(32)    default: the marshaler's class
//                        ...\TypeLib               default: {libid}, "Version": <major>.<minor>
// Versions and locales are written in hexadecimal, as Windows writes them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace morvane::com {

std::string library_key(REFGUID libid);
std::string version_text(WORD major, WORD minor);
std::optional<std::pair<WORD, WORD>> parse_version(const std::string &text);
std::string locale_text(LCID lcid);
std::optional<LCID> parse_locale(const std::string &text);
// "win16", "win32", "mac", "win64"; null for a kind without a name.
const char *platform_name(SYSKIND kind);
std::string interface_key(REFIID iid);

// An interface that registering the library registers: every dispinterface,
// and every interface marked dual or oleautomation (the others need a proxy
// of their own, which a type library does not describe).
struct InterfaceEntry {
    IID iid;
    std::string name;
    std::string proxy_class;
};

HRESULT registered_interfaces(ITypeLib *library, std::vector<InterfaceEntry> &entries);

} // namespace morvane::com
