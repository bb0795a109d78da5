// Crafted run-length streams: the check and the decoding agree on each of them,
// every pixel the stream does not write is palette entry 0, and the same file
// always gives the same frame.
#include "bitmap_check.h"
#include "bitmap_files.h"
#include "bitmap_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace trackdemo::testing {
namespace {

// Entry 0 is a grey no pixel of these files has by accident: 200. Entry i > 0 is grey i.
std::vector<std::uint32_t> palette(int entries)
{
    std::vector<std::uint32_t> colours{0xC8C8C8};
    for (std::uint32_t i = 1; i < static_cast<std::uint32_t>(entries); ++i)
        colours.push_back(i << 16 | i << 8 | i);
    return colours;
}

Bytes run_length_file(int width, int height, int bits, const Bytes &stream)
{
    BitmapHeader h;
    h.width = width;
    h.height = height;
    h.bits = static_cast<std::uint16_t>(bits);
    h.compression = bits == 8 ? 1 : 2;
    h.palette = palette(1 << bits);
    return bitmap_file(h, stream);
}

std::optional<std::vector<std::uint8_t>> frame_of(const Bytes &file)
{
    GreyImage image;
    if (!decode_grey_bitmap(file, image))
        return std::nullopt;
    return std::vector<std::uint8_t>(image.pixels(), image.pixels() + image.width() * image.height());
}

TEST(RunLengthStreams, DecodeToExactlyThePixelsTheyWrite)
{
    const struct {
        const char *name;
        int bits;
        Bytes stream;
        std::optional<std::vector<std::uint8_t>> frame; // 4 × 3, top row first; nothing: refused
    } cases[] = {
        {"absolute run crossing the row end", 8,
         {0, 6, 1, 2, 3, 4, 5, 6, 0, 0, 4, 20, 0, 0, 4, 30, 0, 1},
         std::vector<std::uint8_t>{30, 30, 30, 30, 20, 20, 20, 20, 1, 2, 3, 4}},
        {"runs after the row end are dropped, not carried over", 8,
         {0, 7, 1, 2, 3, 4, 5, 6, 7, 0, 4, 20, 0, 0, 0, 1},
         std::vector<std::uint8_t>{200, 200, 200, 200, 200, 200, 200, 200, 1, 2, 3, 4}},
        {"four-bit absolute run crossing the row end", 4,
         {0, 6, 0x12, 0x34, 0x56, 0, 0, 0, 4, 0x77, 0, 0, 4, 0x89, 0, 1},
         std::vector<std::uint8_t>{8, 9, 8, 9, 7, 7, 7, 7, 1, 2, 3, 4}},
        {"odd-length absolute runs", 8,
         {0, 3, 9, 8, 7, 0, 1, 6, 0, 0, 0, 3, 5, 4, 3, 0, 1, 2, 0, 0, 4, 1, 0, 1},
         std::vector<std::uint8_t>{1, 1, 1, 1, 5, 4, 3, 2, 9, 8, 7, 6}},
        {"odd-length four-bit absolute runs", 4,
         {0, 3, 0x9A, 0xB0, 1, 0xC0, 0, 0, 0, 3, 0x12, 0x30, 0, 0, 4, 0x44, 0, 1},
         std::vector<std::uint8_t>{4, 4, 4, 4, 1, 2, 3, 200, 9, 10, 11, 12}},
        {"end of bitmap before the last row", 8,
         {2, 50, 0, 1},
         std::vector<std::uint8_t>{200, 200, 200, 200, 200, 200, 200, 200, 50, 50, 200, 200}},
        {"move inside the image", 8,
         {1, 60, 0, 2, 2, 1, 2, 70, 0, 1},
         std::vector<std::uint8_t>{200, 200, 200, 200, 200, 200, 200, 70, 60, 200, 200, 200}},
        {"move past the right edge", 8, {0, 2, 5, 0, 0, 1}, std::nullopt},
        {"move past the top", 8, {0, 2, 0, 4, 0, 1}, std::nullopt},
        {"absolute run cut by the file's end", 8, {0, 6, 1, 2, 3}, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = run_length_file(4, 3, c.bits, c.stream);
        EXPECT_EQ(check_bitmap(file).has_value(), c.frame.has_value());
        EXPECT_EQ(frame_of(file), c.frame);
    }
}

TEST(RunLengthStreams, TheSameFileAlwaysGivesTheSameFrame)
{
    // Rows cut short by a run crossing the row end, read while the heap is
    // dirtied in between.
    Bytes stream;
    for (int row = 0; row < 40; ++row) {
        stream.insert(stream.end(), {0, 40});
        for (int i = 0; i < 40; ++i)
            stream.push_back(static_cast<std::uint8_t>(row + i));
        stream.insert(stream.end(), {0, 0});
    }
    stream.insert(stream.end(), {0, 1});
    const Bytes file = run_length_file(32, 40, 8, stream);
    const auto first = frame_of(file);
    ASSERT_TRUE(first);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint8_t> dirt(32 * 40 * 4, static_cast<std::uint8_t>(round * 13 + 1));
        ASSERT_EQ(frame_of(file), first) << "round " << round;
    }
    EXPECT_EQ((*first)[0], 39); // top row, first pixel: row 39's first index
}

} // namespace
} // namespace trackdemo::testing
