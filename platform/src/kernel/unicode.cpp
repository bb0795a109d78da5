// UTF-8 decoding follows the well-formed byte sequences of the Unicode standard:
// no overlong forms, no encoded surrogates, nothing above U+10FFFF.
#include "kernel/unicode.h"

namespace morvane::kernel {

namespace {

// What a lead byte announces: the number of continuation bytes, the payload
// bits of the lead byte, and the allowed range of the first continuation byte
// (the later ones are always 0x80..0xBF).
struct Lead {
    std::size_t continuations;
    char32_t payload;
    unsigned char first_low;
    unsigned char first_high;
};

bool lead_of(unsigned char byte, Lead &lead) noexcept
{
    if (byte >= 0xC2 && byte <= 0xDF)
        lead = {1, char32_t(byte & 0x1F), 0x80, 0xBF};
    else if (byte == 0xE0)
        lead = {2, char32_t(byte & 0x0F), 0xA0, 0xBF}; // below: overlong
    else if (byte == 0xED)
        lead = {2, char32_t(byte & 0x0F), 0x80, 0x9F}; // above: surrogates
    else if (byte >= 0xE1 && byte <= 0xEF)
        lead = {2, char32_t(byte & 0x0F), 0x80, 0xBF};
    else if (byte == 0xF0)
        lead = {3, char32_t(byte & 0x07), 0x90, 0xBF}; // below: overlong
    else if (byte >= 0xF1 && byte <= 0xF3)
        lead = {3, char32_t(byte & 0x07), 0x80, 0xBF};
    else if (byte == 0xF4)
        lead = {3, char32_t(byte & 0x07), 0x80, 0x8F}; // above: beyond U+10FFFF
    else
        return false;
    return true;
}

bool is_high_surrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

Decoded decode_utf8(const unsigned char *text, std::size_t available) noexcept
{
    const unsigned char first = text[0];
    if (first < 0x80)
        return {first, 1, true};
    Lead lead{};
    if (!lead_of(first, lead))
        return {replacement_character, 1, false};

    char32_t code = lead.payload;
    for (std::size_t i = 1; i <= lead.continuations; ++i) {
        if (i >= available)
            return {replacement_character, i, false};
        const unsigned char byte = text[i];
        const unsigned char low = i == 1 ? lead.first_low : 0x80;
        const unsigned char high = i == 1 ? lead.first_high : 0xBF;
        if (byte < low || byte > high)
            return {replacement_character, i, false};
        code = (code << 6) | (byte & 0x3F);
    }
    return {code, lead.continuations + 1, true};
}

Decoded decode_utf16(const char16_t *text, std::size_t available) noexcept
{
    const char16_t first = text[0];
    if (is_low_surrogate(first))
        return {replacement_character, 1, false};
    if (!is_high_surrogate(first))
        return {first, 1, true};
    if (available < 2 || !is_low_surrogate(text[1]))
        return {replacement_character, 1, false};
    const char32_t code = 0x10000 + ((char32_t(first) - 0xD800) << 10) + (char32_t(text[1]) - 0xDC00);
    return {code, 2, true};
}

std::size_t utf8_length(char32_t code) noexcept
{
    if (code < 0x80)
        return 1;
    if (code < 0x800)
        return 2;
    if (code < 0x10000)
        return 3;
    return 4;
}

std::size_t utf16_length(char32_t code) noexcept
{
    return code < 0x10000 ? 1 : 2;
}

void encode_utf8(char32_t code, unsigned char *out) noexcept
{
    switch (utf8_length(code)) {
    case 1:
        out[0] = static_cast<unsigned char>(code);
        break;
    case 2:
        out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        break;
    case 3:
        out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        break;
    default:
        out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        break;
    }
}

void encode_utf16(char32_t code, char16_t *out) noexcept
{
    if (code < 0x10000) {
        out[0] = static_cast<char16_t>(code);
        return;
    }
    const char32_t offset = code - 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (offset >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
}

} // namespace morvane::kernel
