// Text of the entries under HKEY_CLASSES_ROOT: conversion between the UTF-16
// of the component interfaces and the ANSI text the registry keeps, braced
// identifiers, and reading and writing default values.
#ifndef MORVANE_REGISTRY_CLASS_ROOT_TEXT_H
#define MORVANE_REGISTRY_CLASS_ROOT_TEXT_H

#include <windows.h>

#include <string>

namespace morvane::registry {

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

} // namespace morvane::registry

#endif
