// Self-checking value contents for the tests that write and read one registry
// from several processes: a header names the writer's seed, its round and the
// length, and every byte after it follows from those, so a reader can tell a
// whole value from a torn, mixed or truncated one.
#ifndef MORVANE_TESTS_STRESS_VALUE_H
#define MORVANE_TESTS_STRESS_VALUE_H

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace stress {

struct Stamp {
    std::uint32_t seed;
    std::uint32_t round;
};

inline constexpr std::uint32_t magic = 0x5453564Du;
inline constexpr std::size_t header_size = 16;

inline std::uint8_t payload_byte(Stamp stamp, std::size_t index)
{
    std::uint32_t x = stamp.seed * 2654435761u ^ (stamp.round + 1) * 40503u ^
                      static_cast<std::uint32_t>(index) * 2246822519u;
    x ^= x >> 15;
    x *= 2654435761u;
    return static_cast<std::uint8_t>(x >> 24);
}

inline std::vector<std::uint8_t> make_value(Stamp stamp, std::size_t length)
{
    std::vector<std::uint8_t> value(header_size + length);
    const std::uint32_t header[4] = {magic, stamp.seed, stamp.round,
                                     static_cast<std::uint32_t>(length)};
    std::memcpy(value.data(), header, header_size);
    for (std::size_t i = 0; i < length; ++i)
        value[header_size + i] = payload_byte(stamp, i);
    return value;
}

// The stamp of a whole value, or none when any byte is off.
inline std::optional<Stamp> check_value(const std::vector<std::uint8_t> &value)
{
    if (value.size() < header_size)
        return std::nullopt;
    std::uint32_t header[4];
    std::memcpy(header, value.data(), header_size);
    if (header[0] != magic || header[3] != value.size() - header_size)
        return std::nullopt;
    const Stamp stamp{header[1], header[2]};
    for (std::size_t i = 0; i < header[3]; ++i) {
        if (value[header_size + i] != payload_byte(stamp, i))
            return std::nullopt;
    }
    return stamp;
}

// Lengths that vary from round to round, up to about max.
inline std::size_t length_for(std::uint32_t seed, std::uint32_t round, std::size_t max)
{
    return (static_cast<std::size_t>(seed) * 7919u + round * 104729u) % max + 1;
}

} // namespace stress

#endif
