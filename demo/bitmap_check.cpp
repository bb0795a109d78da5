#include "bitmap_check.h"

#include <algorithm>

namespace trackdemo {

namespace {

constexpr std::size_t file_header_size = 14;
constexpr std::uint32_t core_header_size = 12;

enum Compression : std::uint32_t {
    uncompressed = 0,
    rle8 = 1,
    rle4 = 2,
    bit_fields = 3,
};

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) | (std::uint32_t{b[at + 2]} << 16) |
           (std::uint32_t{b[at + 3]} << 24);
}

std::int32_t i32(std::span<const std::uint8_t> b, std::size_t at)
{
    return static_cast<std::int32_t>(u32(b, at));
}

bool known_info_header(std::uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool supported_encoding(int bits, std::uint32_t compression)
{
    switch (compression) {
    case uncompressed:
        return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case rle8:
        return bits == 8;
    case rle4:
        return bits == 4;
    case bit_fields:
        return bits == 16 || bits == 32;
    default:
        return false;
    }
}

// Walks a run-length stream without decoding it. The stream must stay inside the
// file, its moves inside the image, and it must end, with an end-of-bitmap code or with its
// last row; otherwise the file is truncated or malformed.
bool walk_run_lengths(std::span<const std::uint8_t> stream, BitmapLayout &layout)
{
    const std::int64_t width = layout.width;
    const std::int64_t rows = layout.height;
    const bool four_bit = layout.bits_per_pixel == 4;
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool complete = true;
    std::size_t at = 0;
    while (y < rows) {
        if (stream.size() - at < 2)
            return false;
        const std::uint8_t first = stream[at];
        const std::uint8_t second = stream[at + 1];
        at += 2;
        if (first > 0) {
            // A run of `first` pixels of one value; a run reaching past the row's end
            // (an odd-width 4-bit row encoded in pairs) is cut at the row's end.
            x = std::min(x + first, width);
            continue;
        }
        switch (second) {
        case 0: // end of line
            if (x < width)
                complete = false;
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            if (y < rows - 1 || x < width)
                complete = false;
            layout.every_pixel_written = complete;
            return true;
        case 2: { // move right and up
            if (stream.size() - at < 2)
                return false;
            const std::uint8_t right = stream[at];
            const std::uint8_t up = stream[at + 1];
            at += 2;
            if (right != 0 || up != 0)
                complete = false;
            x += right;
            y += up;
            if (x > width || y > rows || (y == rows && x > 0))
                return false;
            break;
        }
        default: { // `second` pixels given one by one, padded to an even byte count
            const std::size_t bytes = four_bit ? (second + 1u) / 2u : second;
            const std::size_t padded = bytes + (bytes & 1u);
            if (stream.size() - at < padded)
                return false;
            at += padded;
            x = std::min(x + second, width);
            break;
        }
        }
    }
    layout.every_pixel_written = complete;
    return true;
}

} // namespace

std::optional<BitmapLayout> check_bitmap(std::span<const std::uint8_t> file)
{
    if (file.size() < file_header_size + core_header_size || static_cast<std::int64_t>(file.size()) > max_bitmap_file_size)
        return std::nullopt;
    if (file[0] != 'B' || file[1] != 'M')
        return std::nullopt;
    const std::uint32_t pixel_offset = u32(file, 10);
    const std::uint32_t info_size = u32(file, file_header_size);
    if (info_size > file.size() - file_header_size)
        return std::nullopt;

    std::int64_t width = 0;
    std::int64_t height = 0;
    int planes = 0;
    int bits = 0;
    std::uint32_t compression = uncompressed;
    std::uint32_t colours_used = 0;
    if (info_size == core_header_size) {
        width = u16(file, 18);
        height = u16(file, 20);
        planes = u16(file, 22);
        bits = u16(file, 24);
    } else if (known_info_header(info_size)) {
        width = i32(file, 18);
        height = i32(file, 22);
        planes = u16(file, 26);
        bits = u16(file, 28);
        compression = u32(file, 30);
        colours_used = u32(file, 46);
    } else {
        return std::nullopt;
    }

    const bool top_down = height < 0;
    const std::int64_t rows = top_down ? -height : height;
    if (width <= 0 || rows <= 0 || width > max_bitmap_side || rows > max_bitmap_side ||
        width * rows > max_bitmap_pixels)
        return std::nullopt;
    if (planes != 1 || !supported_encoding(bits, compression))
        return std::nullopt;
    if (bits <= 8 && colours_used > (1u << bits))
        return std::nullopt;
    if (pixel_offset < file_header_size + info_size || pixel_offset > file.size())
        return std::nullopt;

    BitmapLayout layout;
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(rows);
    layout.top_down = top_down;
    layout.bits_per_pixel = bits;
    layout.run_length_encoded = compression == rle8 || compression == rle4;

    const auto pixel_data = file.subspan(pixel_offset);
    if (layout.run_length_encoded) {
        // Run-length bitmaps are always stored bottom row first.
        if (top_down || !walk_run_lengths(pixel_data, layout))
            return std::nullopt;
        return layout;
    }
    const std::int64_t row_bytes = (width * bits + 31) / 32 * 4;
    if (row_bytes * rows > static_cast<std::int64_t>(pixel_data.size()))
        return std::nullopt;
    return layout;
}

} // namespace trackdemo
