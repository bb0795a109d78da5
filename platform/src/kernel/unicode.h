// Strict UTF-8 and UTF-16 coding, shared by the code-page conversions and by
// character stepping over ANSI text (the ANSI code page is UTF-8).
#pragma once

#include <cstddef>

namespace morvane::kernel {

inline constexpr char32_t replacement_character = 0xFFFD;

// One decoded character: its code point and the number of code units it took.
// An ill-formed sequence decodes as U+FFFD with valid == false; its length is
// that of the sequence's maximal well-formed prefix (at least one unit), so
// that each ill-formed part is replaced by exactly one U+FFFD.
struct Decoded {
    char32_t code;
    std::size_t length;
    bool valid;
};

// Decodes the UTF-8 sequence at text[0]. Reads at most `available` (>= 1) bytes
// and no byte after the first one that cannot continue the sequence, so a zero
// byte always ends a truncated sequence.
Decoded decode_utf8(const unsigned char *text, std::size_t available) noexcept;

// Decodes the UTF-16 character at text[0]; reads at most `available` (>= 1) units.
// An unpaired surrogate decodes as U+FFFD, one unit long.
Decoded decode_utf16(const char16_t *text, std::size_t available) noexcept;

// Number of code units a valid code point takes in each form.
std::size_t utf8_length(char32_t code) noexcept;
std::size_t utf16_length(char32_t code) noexcept;

// Writes a valid code point; the destination has room for its length.
void encode_utf8(char32_t code, unsigned char *out) noexcept;
void encode_utf16(char32_t code, char16_t *out) noexcept;

} // namespace morvane::kernel
