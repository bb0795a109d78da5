// Builds bitmap files byte by byte, in every layout the reader is meant to accept,
// so that tests can also damage them on purpose.
#ifndef TRACKDEMO_TESTS_BITMAP_FILES_H
#define TRACKDEMO_TESTS_BITMAP_FILES_H

#include <cstdint>
#include <functional>
#include <vector>

namespace trackdemo::testing {

using Bytes = std::vector<std::uint8_t>;

struct BitmapHeader {
    std::int32_t width = 0;
    std::int32_t height = 0; // negative: rows stored top row first
    std::uint16_t bits = 8;
    std::uint32_t compression = 0;
    std::uint32_t info_size = 40; // 12 writes the old core header
    std::vector<std::uint32_t> palette; // 0xRRGGBB entries
    std::vector<std::uint32_t> masks;   // red, green, blue masks for bit-field files
};

// A complete file: headers, palette, masks, then the pixel data as given.
Bytes bitmap_file(const BitmapHeader &header, const Bytes &pixel_data);

std::vector<std::uint32_t> grey_palette(int entries);

// Uncompressed pixel data: `value(x, y)` gives the stored value of each pixel
// (y = 0 is the top row): a palette index, or the little-endian word of 16, 24
// or 32 bits (blue lowest). Rows are padded to 4 bytes and stored in the order
// the header's height sign calls for.
Bytes pack_rows(int width, int height, int bits, bool top_down, const std::function<std::uint32_t(int, int)> &value);

} // namespace trackdemo::testing

#endif
