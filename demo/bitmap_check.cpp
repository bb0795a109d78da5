// Bitmap header and run-length checks that refuse a damaged or absurd file before decoding.
#include "bitmap_check.h"

#include "bitmap_run_lengths.h"

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
    layout.pixel_offset = pixel_offset;
    if (bits <= 8) {
        // The palette lies between the headers and the pixels; entries the
        // file does not hold in full are left out.
        const std::size_t entry_size = info_size == core_header_size ? 3 : 4;
        const std::size_t palette_offset = file_header_size + info_size;
        const std::size_t announced = colours_used != 0 ? colours_used : std::size_t{1} << bits;
        layout.palette_offset = palette_offset;
        layout.palette_entry_size = entry_size;
        layout.palette_entries = std::min(announced, (pixel_offset - palette_offset) / entry_size);
    }

    const auto pixel_data = file.subspan(pixel_offset);
    if (layout.run_length_encoded) {
        // Run-length bitmaps are always stored bottom row first.
        // The stream must stay inside the file, its moves inside the image, and
        // it must end, with an end-of-bitmap code or with its last row;
        // otherwise the file is truncated or malformed.
        const RunLengthImage shape{layout.width, layout.height, bits};
        if (top_down || !read_run_lengths(pixel_data, shape, {}, layout.every_pixel_written))
            return std::nullopt;
        return layout;
    }
    const std::int64_t row_bytes = (width * bits + 31) / 32 * 4;
    if (row_bytes * rows > static_cast<std::int64_t>(pixel_data.size()))
        return std::nullopt;
    return layout;
}

} // namespace trackdemo
