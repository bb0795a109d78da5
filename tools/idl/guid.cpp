// Identifiers: parsing the 36-character form, and the bytes and text written for them.
#include "guid.h"

#include <cstdio>

namespace idl {

std::array<std::uint8_t, 16> Guid::bytes() const
{
    std::array<std::uint8_t, 16> out{};
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) {
        out[4 + i] = static_cast<std::uint8_t>(data2 >> (8 * i));
        out[6 + i] = static_cast<std::uint8_t>(data3 >> (8 * i));
    }
    for (int i = 0; i < 8; ++i)
        out[8 + i] = data4[i];
    return out;
}

namespace {
int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<Guid> parse_guid(std::string_view text)
{
    // Group lengths of the canonical form, separated by single hyphens.
    static constexpr int group_digits[] = {8, 4, 4, 4, 12};
    if (text.size() != 36)
        return std::nullopt;
    std::array<std::uint8_t, 16> digits{};
    std::size_t pos = 0;
    int nibble = 0;
    for (int group = 0; group < 5; ++group) {
        if (group > 0 && text[pos++] != '-')
            return std::nullopt;
        for (int i = 0; i < group_digits[group]; ++i) {
            const int v = hex_value(text[pos++]);
            if (v < 0)
                return std::nullopt;
            digits[nibble / 2] = static_cast<std::uint8_t>(digits[nibble / 2] << 4 | v);
            ++nibble;
        }
    }
    Guid guid;
    guid.data1 = static_cast<std::uint32_t>(digits[0]) << 24 | static_cast<std::uint32_t>(digits[1]) << 16 |
                 static_cast<std::uint32_t>(digits[2]) << 8 | digits[3];
    guid.data2 = static_cast<std::uint16_t>(digits[4] << 8 | digits[5]);
    guid.data3 = static_cast<std::uint16_t>(digits[6] << 8 | digits[7]);
    for (int i = 0; i < 8; ++i)
        guid.data4[i] = digits[8 + i];
    return guid;
}

std::string to_string(const Guid &guid)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(guid.data1), guid.data2, guid.data3, guid.data4[0],
                  guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
                  guid.data4[6], guid.data4[7]);
    return buffer;
}

} // namespace idl
