// Arbitrary bytes through the UTF-8 decoder, conversions and stepping, in exact-size buffers.
#include "fuzz_support.h"
#include "kernel/unicode.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using fuzz::require;

std::vector<WCHAR> widen(const std::vector<char> &bytes, DWORD flags)
{
    const int size = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(CP_UTF8, flags, bytes.data(), size, nullptr, 0);
    std::vector<WCHAR> wide(static_cast<std::size_t>(needed));
    if (needed > 0) {
        require(MultiByteToWideChar(CP_UTF8, flags, bytes.data(), size, wide.data(), needed) == needed);
        if (needed > 1) {
            std::vector<WCHAR> short_buffer(static_cast<std::size_t>(needed - 1));
            require(MultiByteToWideChar(CP_UTF8, flags, bytes.data(), size, short_buffer.data(), needed - 1) == 0);
            require(GetLastError() == ERROR_INSUFFICIENT_BUFFER);
        }
    }
    return wide;
}

std::vector<char> narrow(const std::vector<WCHAR> &wide, DWORD flags)
{
    const int size = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::vector<char> bytes(static_cast<std::size_t>(needed));
    if (needed > 0)
        require(WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, bytes.data(), needed, nullptr, nullptr) ==
                needed);
    return bytes;
}

// The decoder on its own: lengths stay within the input, valid code points are scalar values.
void decode_all(const std::uint8_t *bytes, std::size_t size)
{
    std::size_t at = 0;
    while (at < size) {
        const auto step = morvane::kernel::decode_utf8(bytes + at, size - at);
        require(step.length >= 1 && step.length <= size - at);
        require(!step.valid || step.code <= 0x10FFFF);
        require(!step.valid || step.code < 0xD800 || step.code > 0xDFFF);
        require(!step.valid || step.length == morvane::kernel::utf8_length(step.code));
        at += step.length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    const std::vector<char> bytes(data, data + size);
    decode_all(data, size);

    // Replacing yields UTF-16 that survives a strict round trip; strict decoding agrees if valid.
    const std::vector<WCHAR> replaced = widen(bytes, 0);
    require(!replaced.empty());
    const std::vector<char> again = narrow(replaced, WC_ERR_INVALID_CHARS);
    require(!again.empty());
    require(widen(again, MB_ERR_INVALID_CHARS) == replaced);
    const std::vector<WCHAR> strict = widen(bytes, MB_ERR_INVALID_CHARS);
    require(strict.empty() || (strict == replaced && again == bytes));

    // The input as UTF-16 units: conversion never fails without the strict flag.
    std::vector<WCHAR> units(size / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<WCHAR>(data[2 * i] | (data[2 * i + 1] << 8));
    if (!units.empty())
        require(!narrow(units, 0).empty());

    // Stepping through the terminated text stops exactly on its terminator.
    std::vector<char> text(bytes);
    text.push_back('\0');
    const char *p = text.data();
    while (*p != '\0') {
        const char *next = CharNextA(p);
        require(next > p && next - p <= 4);
        p = next;
    }
    require(p <= text.data() + size && CharNextA(p) == p);
    require(lstrlenA(text.data()) == p - text.data());
    return 0;
}
