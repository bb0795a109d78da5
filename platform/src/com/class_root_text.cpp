// ANSI/UTF-16 conversion, braced identifiers and default-value reading and writing for
// the entries under HKEY_CLASSES_ROOT, through the public registry calls.
#include "com/class_root_text.h"

#include <scoped_key.h>

#include <objbase.h>

namespace morvane::com {

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

std::u16string widen(const std::string &text)
{
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::string guid_text(REFGUID guid)
{
    OLECHAR braced[CHARS_IN_GUID];
    StringFromGUID2(guid, braced, CHARS_IN_GUID);
    return narrow(braced);
}

LSTATUS read_string(HKEY parent, const std::string &path, const char *name, std::string &text)
{
    ScopedKey key;
    LSTATUS status = RegOpenKeyExA(parent, path.c_str(), 0, KEY_QUERY_VALUE, key.receive());
    if (status != ERROR_SUCCESS)
        return status;
    DWORD type = REG_NONE;
    DWORD size = 0;
    status = RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size);
    // The value may grow between the size query and the read.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        text.assign(size, '\0');
        status = RegQueryValueExA(key.get(), name, nullptr, &type,
                                  reinterpret_cast<BYTE *>(text.data()), &size);
        if (status == ERROR_SUCCESS) {
            text.resize(size);
            break;
        }
    }
    key.close();
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return not_a_string;
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return ERROR_SUCCESS;
}

LSTATUS write_string(HKEY key, const char *name, const std::string &text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

LSTATUS write_string_at(HKEY parent, const std::string &path, const char *name,
                        const std::string &text)
{
    ScopedKey key;
    const LSTATUS status = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                           nullptr, key.receive(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    return write_string(key.get(), name, text);
}

std::vector<std::string> subkey_names(HKEY parent, const std::string &path)
{
    std::vector<std::string> names;
    ScopedKey key;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return names;
    char name[256];
    DWORD size = sizeof name;
    for (DWORD index = 0;
         RegEnumKeyExA(key.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
         ++index, size = sizeof name)
        names.emplace_back(name, size);
    return names;
}

bool is_empty_key(HKEY parent, const std::string &path)
{
    ScopedKey key;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 1;
    DWORD values = 1;
    const LSTATUS status = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    return status == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

} // namespace morvane::com
