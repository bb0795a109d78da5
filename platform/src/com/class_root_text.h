// Text of the entries under HKEY_CLASSES_ROOT: conversion between the UTF-16
// of the component interfaces and the ANSI text the registry keeps, braced
// identifiers, and reading and writing default values.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace morvane::com {

std::string narrow(LPCOLESTR text);
std::u16string widen(const std::string &text);

// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
std::string guid_text(REFGUID guid);

// Beyond the system error codes: the value exists but does not hold text.
inline constexpr LSTATUS not_a_string = -1;

// The text of a value of the key at path below parent (the default value
// for a null name), up to its terminator.
LSTATUS read_string(HKEY parent, const std::string &path, const char *name, std::string &text);

// Sets a REG_SZ value with its terminator.
LSTATUS write_string(HKEY key, const char *name, const std::string &text);

// Sets a REG_SZ value of the key at path below parent, creating the key.
LSTATUS write_string_at(HKEY parent, const std::string &path, const char *name,
                        const std::string &text);

// The names of the subkeys of the key at path below parent, in enumeration
// order; none when it cannot be opened.
std::vector<std::string> subkey_names(HKEY parent, const std::string &path);

// Whether the key at path below parent has neither subkeys nor values.
bool is_empty_key(HKEY parent, const std::string &path);

// Frees the automation string it holds when it goes.
struct OwnedBstr {
    BSTR text = nullptr;
    OwnedBstr() = default;
    OwnedBstr(const OwnedBstr &) = delete;
    OwnedBstr &operator=(const OwnedBstr &) = delete;
    ~OwnedBstr() { SysFreeString(text); }
    std::string ansi() const { return text != nullptr ? narrow(text) : std::string(); }
};

} // namespace morvane::com
