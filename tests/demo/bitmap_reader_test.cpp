// Bitmaps of every common kind read as grey rows; damaged or absurd files refused without harm.
#include "bitmap_check.h"
#include "bitmap_reader.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>

namespace trackdemo::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A file's header fields; the masks are red, green and blue for bit-field files.
struct BitmapHeader {
    int width = 0, height = 0, bits = 8; // negative height: rows stored top row first
    std::vector<std::uint32_t> palette = {}; // 0xRRGGBB entries
    std::uint32_t compression = 0, info_size = 40; // 12 writes the old core header
    std::vector<std::uint32_t> masks = {};
};

void put(Bytes &out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A complete file: headers, palette, masks, then the pixel data as given.
Bytes bitmap_file(const BitmapHeader &header, const Bytes &pixel_data)
{
    const bool core = header.info_size == 12;
    Bytes info;
    put(info, header.info_size, 4);
    put(info, static_cast<std::uint32_t>(header.width), core ? 2 : 4);
    put(info, static_cast<std::uint32_t>(header.height), core ? 2 : 4);
    put(info, 1, 2); // planes
    put(info, static_cast<std::uint32_t>(header.bits), 2);
    if (!core) {
        for (const std::size_t value : {std::size_t{header.compression}, pixel_data.size(), std::size_t{2835},
                                        std::size_t{2835}, header.palette.size(), std::size_t{0}})
            put(info, static_cast<std::uint32_t>(value), 4);
        // The masks follow a 40-byte header and fill versions 4 and 5 of it, zero after them.
        for (std::size_t i = 0; info.size() < header.info_size || i < header.masks.size(); ++i)
            put(info, i < header.masks.size() ? header.masks[i] : 0, 4);
    }
    for (const auto colour : header.palette)
        put(info, colour, core ? 3 : 4);
    const auto offset = static_cast<std::uint32_t>(14 + info.size());
    Bytes file = {'B', 'M'}; // then the file's size, two reserved words and the pixel data's offset
    for (const std::uint32_t value : {offset + static_cast<std::uint32_t>(pixel_data.size()), 0u, offset})
        put(file, value, 4);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixel_data.begin(), pixel_data.end());
    return file;
}

std::vector<std::uint32_t> grey_palette(int entries)
{
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < entries; ++i)
        palette.push_back(static_cast<std::uint32_t>(i * 255 / (entries - 1)) * 0x010101u);
    return palette;
}

// Uncompressed pixel data, rows padded to 4 bytes in the order `top_down` says: `value(x, y)`
// (y = 0 is the top row) is a palette index or a little-endian word of 16, 24 or 32 bits.
Bytes pack_rows(int width, int height, int bits, bool top_down, const std::function<std::uint32_t(int, int)> &value)
{
    const std::size_t row_bytes = (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
    Bytes data(row_bytes * static_cast<std::size_t>(height), 0);
    for (int stored = 0; stored < height; ++stored) {
        std::uint8_t *row = &data[row_bytes * static_cast<std::size_t>(stored)];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, top_down ? stored : height - 1 - stored);
            const std::size_t bit = static_cast<std::size_t>(x) * static_cast<std::size_t>(bits);
            if (bits < 8) // the leftmost pixel in the highest bits
                row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | v << (8 - bits - bit % 8));
            for (std::size_t i = 0; bits >= 8 && i < static_cast<std::size_t>(bits / 8); ++i)
                row[bit / 8 + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    return data;
}

// Grey levels that differ from pixel to pixel and from row to row.
std::uint32_t ramp(int x, int y) { return static_cast<std::uint32_t>((x * 37 + y * 11) % 256); }

// The decoded pixels, top row first, or nothing when the file is refused.
std::optional<Bytes> pixels_of(const Bytes &file)
{
    GreyImage image;
    if (!decode_grey_bitmap(file, image))
        return std::nullopt;
    return Bytes(image.pixels(), image.pixels() + image.width() * image.height());
}

TEST(BitmapReader, EveryAcceptedLayoutGivesItsGreyLevels)
{
    using Values = std::function<std::uint32_t(int, int)>;
    const Values grey = [](int x, int y) { return ramp(x, y) * 0x010101u; };
    const Values checker = [](int x, int y) { return static_cast<std::uint32_t>((x + y) % 2); };
    const Values index = [](int x, int y) { return static_cast<std::uint32_t>(x + 3 * y) % 16; };
    const std::vector<std::uint32_t> colours = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
    const Values colour = [&](int x, int) { return colours[static_cast<std::size_t>(x)]; };
    // Colours become their luminance (11 red, 16 green, 5 blue in 32).
    const Values luminance = [](int x, int) { return Bytes{0, 255, 87, 127, 39, 128}[static_cast<std::size_t>(x)]; };
    const struct {
        std::string name;
        BitmapHeader header;
        Values stored, level;
    } rows[] = {
        {"32 bits", {7, 3, 32}, grey, ramp},
        // Five bits per channel: 0x7FFF is 31 of 31, shifted into 8 bits.
        {"16 bits", {5, 3, 16}, [&](int x, int y) { return checker(x, y) * 0x7FFF; },
         [&](int x, int y) { return checker(x, y) * 248; }},
        {"bit fields in the high bytes", {3, 2, 32, {}, 3, 40, {0x0000FF00, 0x00FF0000, 0xFF000000}},
         [](int x, int y) { return static_cast<std::uint32_t>(40 * x + 100 * y) * 0x01010100u; },
         [](int x, int y) { return static_cast<std::uint32_t>(40 * x + 100 * y); }},
        {"1 bit", {9, 3, 1, {0x000000, 0xFFFFFF}}, checker, [&](int x, int y) { return checker(x, y) * 255; }},
        {"4 bits", {5, -4, 4, grey_palette(16)}, index, [&](int x, int y) { return index(x, y) * 17; }},
        // Indices past a short palette read as black.
        {"short palette", {3, 1, 8, {0x404040, 0x808080}}, [](int x, int) { return x * 100u; },
         [](int x, int) { return x == 0 ? 0x40u : 0u; }},
        {"palette of colours", {6, 1, 8, colours}, [](int x, int) { return static_cast<std::uint32_t>(x); }, luminance},
        {"24 bits of colour", {6, 1, 24}, colour, luminance},
        {"core header", {6, 2, 8, grey_palette(256), 0, 12}, ramp, ramp},
        {"version 4 header", {6, 2, 8, grey_palette(256), 0, 108}, ramp, ramp},
        {"version 5 header", {6, 2, 8, grey_palette(256), 0, 124}, ramp, ramp},
    };
    for (const auto &row : rows) {
        const int width = row.header.width, height = std::abs(row.header.height);
        Bytes expected;
        for (int i = 0; i < width * height; ++i)
            expected.push_back(static_cast<std::uint8_t>(row.level(i % width, i / width)));
        const Bytes pixels = pack_rows(width, height, row.header.bits, row.header.height < 0, row.stored);
        EXPECT_EQ(pixels_of(bitmap_file(row.header, pixels)), expected) << row.name;
    }
}

// Entry 0 is a grey no pixel of these files has by accident: 200. Entry i > 0 is grey i.
Bytes run_length_file(int bits, const Bytes &stream)
{
    std::vector<std::uint32_t> palette = grey_palette(256);
    palette.resize(std::size_t{1} << bits);
    palette[0] = 0xC8C8C8;
    return bitmap_file({4, 3, bits, palette, bits == 8 ? 1u : 2u}, stream);
}

// The check and the decoding agree; unwritten pixels are entry 0, and the check says if any are.
TEST(RunLengthStreams, DecodeToExactlyThePixelsTheyWrite)
{
    const struct {
        const char *name;
        int bits;
        Bytes stream;
        std::optional<Bytes> frame; // 4 × 3, top row first; nothing: refused
    } cases[] = {
        {"repeated and absolute runs", 8, {4, 20, 0, 0, 0, 4, 5, 6, 7, 8, 0, 0, 2, 9, 2, 10, 0, 1},
         Bytes{9, 9, 10, 10, 5, 6, 7, 8, 20, 20, 20, 20}},
        {"runs after the row end are dropped, not carried over", 8, {0, 7, 1, 2, 3, 4, 5, 6, 7, 0, 4, 20, 0, 0, 0, 1},
         Bytes{200, 200, 200, 200, 200, 200, 200, 200, 1, 2, 3, 4}},
        {"four-bit absolute run crossing the row end", 4, {0, 6, 0x12, 0x34, 0x56, 0, 0, 0, 4, 0x77, 0, 0, 4, 0x89, 0, 1},
         Bytes{8, 9, 8, 9, 7, 7, 7, 7, 1, 2, 3, 4}},
        {"odd-length absolute runs", 8, {0, 3, 9, 8, 7, 0, 1, 6, 0, 0, 0, 3, 5, 4, 3, 0, 1, 2, 0, 0, 4, 1, 0, 1},
         Bytes{1, 1, 1, 1, 5, 4, 3, 2, 9, 8, 7, 6}},
        {"odd-length four-bit absolute runs", 4, {0, 3, 0x9A, 0xB0, 1, 0xC0, 0, 0, 0, 3, 0x12, 0x30, 0, 0, 4, 0x44, 0, 1},
         Bytes{4, 4, 4, 4, 1, 2, 3, 200, 9, 10, 11, 12}},
        {"end of bitmap before the last row", 8, {2, 50, 0, 1},
         Bytes{200, 200, 200, 200, 200, 200, 200, 200, 50, 50, 200, 200}},
        {"move inside the image", 8, {1, 60, 0, 2, 2, 1, 2, 70, 0, 1},
         Bytes{200, 200, 200, 200, 200, 200, 200, 70, 60, 200, 200, 200}},
        {"move past the right edge", 8, {0, 2, 5, 0, 0, 1}, std::nullopt},
        {"move past the top", 8, {0, 2, 0, 4, 0, 1}, std::nullopt},
        {"move past the last row", 8, {0, 2, 1, 3, 0, 1}, std::nullopt},
        {"absolute run cut by the file's end", 8, {0, 6, 1, 2, 3}, std::nullopt},
        {"stream without its end", 8, {4, 1, 0, 0}, std::nullopt},
        {"stream cut short", 8, {4, 1, 0}, std::nullopt},
    };
    for (const auto &c : cases) {
        const Bytes file = run_length_file(c.bits, c.stream);
        const auto layout = check_bitmap(file);
        EXPECT_EQ(layout.has_value(), c.frame.has_value()) << c.name;
        EXPECT_EQ(pixels_of(file), c.frame) << c.name;
        if (layout && c.frame) {
            EXPECT_TRUE(layout->run_length_encoded) << c.name;
            EXPECT_EQ(layout->every_pixel_written, std::count(c.frame->begin(), c.frame->end(), 200) == 0) << c.name;
        }
    }
}

// Rows of 7 bytes padded to 8, so that data cut by one byte still holds width × height bytes.
const Bytes good = bitmap_file({7, 4, 8, grey_palette(256)}, pack_rows(7, 4, 8, false, ramp));

Bytes with(Bytes file, std::size_t at, std::uint32_t value, int bytes = 4)
{
    for (int i = 0; i < bytes; ++i)
        file.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
    return file;
}

// One row per check the reader makes.
TEST(BitmapReader, DamagedFilesAreRefusedAndLeaveTheImageAsItWas)
{
    const Bytes runs = run_length_file(8, {0, 4, 1, 2, 3, 4, 0, 0, 4, 9, 0, 0, 4, 9, 0, 1});
    const struct {
        const char *name;
        Bytes file;
    } damages[] = {
        {"empty", {}}, {"file header only", Bytes(good.begin(), good.begin() + 14)},
        {"information header cut short", Bytes(good.begin(), good.begin() + 30)},
        {"magic's first byte", with(runs, 0, 0x4D41, 2)}, {"magic's second byte", with(runs, 0, 0x4142, 2)},
        {"pixel data cut short", Bytes(good.begin(), good.end() - 1)},
        {"palette cut short", Bytes(good.begin(), good.begin() + 14 + 40 + 100)},
        {"run-length rows stored top-down", with(runs, 22, static_cast<std::uint32_t>(-3))},
        {"absurd width and height", with(with(good, 18, 100000), 22, 100000)},
        {"too many pixels", with(with(good, 18, 16384), 22, 16384)},
        {"most negative height", with(good, 22, 0x80000000u)}, {"zero width", with(good, 18, 0)},
        {"zero height", with(good, 22, 0)}, {"negative width", with(good, 18, static_cast<std::uint32_t>(-8))},
        {"two planes", with(good, 26, 2, 2)}, {"seven bits per pixel", with(good, 28, 7, 2)},
        {"embedded JPEG", with(good, 30, 4)}, {"run-length code for 24 bits", with(with(good, 28, 24, 2), 30, 1)},
        {"more colours than the depth allows", with(good, 46, 257)},
        {"pixel data offset past the end", with(good, 10, 100000)},
        {"pixel data offset inside the header", with(good, 10, 20)},
        {"unknown header size", with(good, 14, 20)}, {"header size past the end", with(good, 14, 0x7FFFFFFF)},
    };
    for (const auto &damage : damages) {
        GreyImage image(2, 1, {7, 9});
        EXPECT_FALSE(decode_grey_bitmap(damage.file, image)) << damage.name;
        EXPECT_TRUE(image.width() == 2 && image.at(1, 0) == 9) << damage.name;
    }
    ASSERT_TRUE(check_bitmap(runs)) << "the damaged run-length file was whole";
}

TEST(BitmapFile, OnlyAnOrdinaryFileOfAcceptableSizeIsRead)
{
    const test_support::ScratchFolder folder;
    std::filesystem::create_directories(folder.path() / "folder.bmp");
    GreyImage image;
    ASSERT_TRUE(read_grey_bitmap(folder.write("frame.bmp", good).string(), image));
    EXPECT_EQ(Bytes(image.pixels(), image.pixels() + 28), *pixels_of(good));
    std::filesystem::resize_file(folder.path() / "frame.bmp", static_cast<std::uintmax_t>(max_bitmap_file_size) + 1);
    GreyImage refused;
    for (const char *name : {"frame.bmp", "absent.bmp", "folder.bmp"})
        EXPECT_FALSE(read_grey_bitmap(folder.file(name), refused)) << name;
    EXPECT_TRUE(refused.empty());
}

} // namespace
} // namespace trackdemo::testing
