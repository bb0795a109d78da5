// A 16-byte identifier as the compiler reads and writes it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace idl {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // The 16 bytes in memory order (the first three fields little-endian).
    std::array<std::uint8_t, 16> bytes() const;
    bool operator==(const Guid &) const = default;
};

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (hex digits in either case).
std::optional<Guid> parse_guid(std::string_view text);

// "B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1" form, upper case, without braces.
std::string to_string(const Guid &guid);

} // namespace idl
