// Conversions between UTF-16 and the ANSI code page. The ANSI code page is
// UTF-8, so CP_ACP and CP_UTF8 are the same conversion and follow the rules
// Windows applies to UTF-8: only the "invalid characters" flags, no default
// character, and each ill-formed sequence replaced by U+FFFD unless the caller
// asks for failure instead.
#include "kernel/unicode.h"

#include <winbase.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using morvane::kernel::Decoded;

int fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

bool is_ansi_code_page(UINT code_page)
{
    return code_page == CP_ACP || code_page == CP_UTF8;
}

// Source lengths: -1 means "up to and including the terminating zero"; 0 and
// anything below -1 are invalid. Output sizes are never negative, and a
// non-zero one needs a buffer.
bool lengths_are_valid(const void *source, int source_length, const void *target, int target_size)
{
    if (source == nullptr || source_length == 0 || source_length < -1 || target_size < 0)
        return false;
    return target_size == 0 || target != nullptr;
}

bool ranges_overlap(const void *a, std::size_t a_bytes, const void *b, std::size_t b_bytes)
{
    const auto a_start = reinterpret_cast<std::uintptr_t>(a);
    const auto b_start = reinterpret_cast<std::uintptr_t>(b);
    return a_start < b_start + b_bytes && b_start < a_start + a_bytes;
}

// Decodes `length` source units and encodes each character into `target`
// (which holds `capacity` units), or only counts when `target` is null.
template <typename Source, typename Target, typename Decode, typename Measure, typename Encode>
int convert(const Source *source, std::size_t length, Target *target, std::size_t capacity,
            bool fail_on_invalid, Decode decode, Measure measure, Encode encode)
{
    std::size_t read = 0;
    std::size_t written = 0;
    while (read < length) {
        const Decoded character = decode(source + read, length - read);
        if (!character.valid && fail_on_invalid)
            return fail(ERROR_NO_UNICODE_TRANSLATION);
        const std::size_t units = measure(character.code);
        if (target != nullptr) {
            if (units > capacity - written)
                return fail(ERROR_INSUFFICIENT_BUFFER);
            encode(character.code, target + written);
        }
        written += units;
        if (written > INT_MAX) // the count could not be returned
            return fail(ERROR_INSUFFICIENT_BUFFER);
        read += character.length;
    }
    return static_cast<int>(written);
}

} // namespace

EXTERN_C int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                                 LPWSTR lpWideCharStr, int cchWideChar)
{
    if (!is_ansi_code_page(CodePage) ||
        !lengths_are_valid(lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar))
        return fail(ERROR_INVALID_PARAMETER);
    // MB_PRECOMPOSED is the default for the ANSI code page and changes nothing in UTF-8.
    const DWORD allowed = MB_ERR_INVALID_CHARS | (CodePage == CP_ACP ? MB_PRECOMPOSED : 0);
    if ((dwFlags & ~allowed) != 0)
        return fail(ERROR_INVALID_FLAGS);

    const auto *source = reinterpret_cast<const unsigned char *>(lpMultiByteStr);
    const std::size_t length = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : std::size_t(cbMultiByte);
    WCHAR *target = cchWideChar > 0 ? lpWideCharStr : nullptr;
    const std::size_t capacity = std::size_t(cchWideChar);
    if (target != nullptr && ranges_overlap(source, length, target, capacity * sizeof(WCHAR)))
        return fail(ERROR_INVALID_PARAMETER);

    return convert(source, length, target, capacity, (dwFlags & MB_ERR_INVALID_CHARS) != 0,
                   morvane::kernel::decode_utf8, morvane::kernel::utf16_length,
                   morvane::kernel::encode_utf16);
}

EXTERN_C int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                                 LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                                 LPBOOL lpUsedDefaultChar)
{
    // UTF-8 has no default character: every character has an encoding.
    if (!is_ansi_code_page(CodePage) || lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr ||
        !lengths_are_valid(lpWideCharStr, cchWideChar, lpMultiByteStr, cbMultiByte))
        return fail(ERROR_INVALID_PARAMETER);
    if ((dwFlags & ~DWORD(WC_ERR_INVALID_CHARS)) != 0)
        return fail(ERROR_INVALID_FLAGS);

    const std::size_t length = cchWideChar == -1 ? std::char_traits<WCHAR>::length(lpWideCharStr) + 1
                                                 : std::size_t(cchWideChar);
    auto *target = cbMultiByte > 0 ? reinterpret_cast<unsigned char *>(lpMultiByteStr) : nullptr;
    const std::size_t capacity = std::size_t(cbMultiByte);
    if (target != nullptr && ranges_overlap(lpWideCharStr, length * sizeof(WCHAR), target, capacity))
        return fail(ERROR_INVALID_PARAMETER);

    return convert(lpWideCharStr, length, target, capacity, (dwFlags & WC_ERR_INVALID_CHARS) != 0,
                   morvane::kernel::decode_utf16, morvane::kernel::utf8_length,
                   morvane::kernel::encode_utf8);
}
