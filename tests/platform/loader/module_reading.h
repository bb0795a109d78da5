// A module's file name and a resource's bytes, as the loader's calls give them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

inline std::string module_file_name(HMODULE module)
{
    char path[4096] = {};
    return std::string(path, GetModuleFileNameA(module, path, sizeof path));
}

// Found through FindResourceA, LoadResource and SizeofResource; copying reads every byte.
inline std::vector<std::uint8_t> resource_bytes(HMODULE module, LPCSTR name, LPCSTR type)
{
    HRSRC info = FindResourceA(module, name, type);
    const auto *data = static_cast<const std::uint8_t *>(LockResource(LoadResource(module, info)));
    return data ? std::vector<std::uint8_t>(data, data + SizeofResource(module, info)) : std::vector<std::uint8_t>{};
}
