// Checks a bitmap file's headers and, for run-length encoded files, its pixel stream
// before a decoder sees the file, so that a truncated, malformed or absurdly large
// file is refused instead of being decoded into undefined pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace trackdemo {

// Largest accepted side and pixel count: far beyond any frame the tracker is meant
// for, small enough that the decoded image and its colour copies fit in memory.
inline constexpr std::int64_t max_bitmap_side = 16384;
inline constexpr std::int64_t max_bitmap_pixels = std::int64_t{1} << 24;
inline constexpr std::int64_t max_bitmap_file_size = 4 * max_bitmap_pixels + (std::int64_t{1} << 20);

struct BitmapLayout {
    int width = 0;
    int height = 0;       // rows, always positive
    bool top_down = false; // rows stored top row first
    int bits_per_pixel = 0;
    bool run_length_encoded = false;
    // False when a run-length stream leaves pixels unwritten (deltas, early line
    // or bitmap ends); such pixels take palette entry 0.
    bool every_pixel_written = true;
    // Palette of files of 8 bits or fewer: where it starts, how many whole
    // entries the file holds, and their size (blue, green, red, and a fourth
    // byte unless the file has the old core header).
    std::size_t pixel_offset = 0; // where the pixel data starts in the file
    std::size_t palette_offset = 0;
    std::size_t palette_entries = 0;
    std::size_t palette_entry_size = 4;
};

// The file's layout when its headers describe a bitmap this program reads and the
// file holds all the pixel data they announce; nothing otherwise.
std::optional<BitmapLayout> check_bitmap(std::span<const std::uint8_t> file);

} // namespace trackdemo
