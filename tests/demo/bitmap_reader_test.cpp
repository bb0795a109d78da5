// Bitmap files of every common kind read as 8-bit grey rows of exactly `width`
// bytes, and damaged or absurd files refused without harm.
#include "bitmap_check.h"
#include "bitmap_files.h"
#include "bitmap_reader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include <unistd.h>

namespace trackdemo::testing {
namespace {

// Grey levels that differ from pixel to pixel and from row to row.
std::uint32_t ramp(int x, int y) { return static_cast<std::uint32_t>((x * 37 + y * 11) % 256); }
int ramp_level(int x, int y) { return static_cast<int>(ramp(x, y)); }

// Runs of equal pixels between stretches of distinct ones.
std::uint32_t patches(int x, int y) { return static_cast<std::uint32_t>(x % 10 < 5 ? (y * 3) % 16 : (x * 7 + y) % 16); }

std::optional<GreyImage> decode(const Bytes &file)
{
    GreyImage image;
    if (!decode_grey_bitmap(file, image))
        return std::nullopt;
    return image;
}

// Every pixel of `image` is `expected(x, y)`, and the pixel memory is exactly
// width * height bytes, top row first.
void expect_pixels(const GreyImage &image, int width, int height, const std::function<int(int, int)> &expected)
{
    ASSERT_EQ(image.width(), width);
    ASSERT_EQ(image.height(), height);
    ASSERT_NE(image.pixels(), nullptr);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(image.pixels()[y * width + x], expected(x, y)) << "at (" << x << ", " << y << ")";
    }
}

BitmapHeader header(int width, int height, int bits, std::vector<std::uint32_t> palette = {},
                    std::uint32_t compression = 0, std::uint32_t info_size = 40)
{
    BitmapHeader h;
    h.width = width;
    h.height = height;
    h.bits = static_cast<std::uint16_t>(bits);
    h.palette = std::move(palette);
    h.compression = compression;
    h.info_size = info_size;
    return h;
}

// A file the reader accepts and the grey level it must give each pixel.
struct Accepted {
    std::string name;
    Bytes file;
    int width, height;
    std::function<int(int, int)> level;
};

std::vector<Accepted> accepted_files()
{
    std::vector<Accepted> rows;
    for (const int width : {1, 2, 3, 4, 5, 7, 13, 320}) {
        for (const bool top_down : {false, true}) {
            rows.push_back({"8 bits, width " + std::to_string(width) + (top_down ? ", top-down" : ""),
                            bitmap_file(header(width, top_down ? -5 : 5, 8, grey_palette(256)),
                                        pack_rows(width, 5, 8, top_down, ramp)),
                            width, 5, ramp_level});
        }
    }
    for (const int bits : {24, 32}) {
        for (const bool top_down : {false, true}) {
            rows.push_back({std::to_string(bits) + " bits of grey" + (top_down ? ", top-down" : ""),
                            bitmap_file(header(7, top_down ? -3 : 3, bits),
                                        pack_rows(7, 3, bits, top_down,
                                                  [](int x, int y) { return ramp(x, y) * 0x010101u; })),
                            7, 3, ramp_level});
        }
    }
    // Five bits per channel: 0x7FFF is 31 of 31, shifted into 8 bits.
    rows.push_back({"16 bits", bitmap_file(header(5, 3, 16), pack_rows(5, 3, 16, false, [](int x, int y) {
                                               return (x + y) % 2 == 0 ? 0x7FFFu : 0u;
                                           })),
                    5, 3, [](int x, int y) { return (x + y) % 2 == 0 ? 248 : 0; }});
    // Red, green and blue in the high bytes.
    BitmapHeader fields = header(3, 2, 32, {}, 3);
    fields.masks = {0x0000FF00, 0x00FF0000, 0xFF000000};
    rows.push_back({"bit fields", bitmap_file(fields, pack_rows(3, 2, 32, false, [](int x, int y) {
                                                  return static_cast<std::uint32_t>(40 * x + 100 * y) * 0x01010100u;
                                              })),
                    3, 2, [](int x, int y) { return 40 * x + 100 * y; }});
    rows.push_back({"1 bit", bitmap_file(header(9, 3, 1, {0x000000, 0xFFFFFF}), pack_rows(9, 3, 1, false, [](int x, int y) {
                                             return static_cast<std::uint32_t>((x + y) % 2);
                                         })),
                    9, 3, [](int x, int y) { return (x + y) % 2 == 0 ? 0 : 255; }});
    rows.push_back({"4 bits", bitmap_file(header(5, -4, 4, grey_palette(16)), pack_rows(5, 4, 4, true, [](int x, int y) {
                                              return static_cast<std::uint32_t>((x + 3 * y) % 16);
                                          })),
                    5, 4, [](int x, int y) { return (x + 3 * y) % 16 * 17; }});
    // Indices past a short palette read as black.
    rows.push_back({"short palette", bitmap_file(header(3, 1, 8, {0x404040, 0x808080}), pack_rows(3, 1, 8, false, [](int x, int) {
                                                     return static_cast<std::uint32_t>(x * 100);
                                                 })),
                    3, 1, [](int x, int) { return x == 0 ? 0x40 : 0; }});
    for (const std::uint32_t size : {12u, 108u, 124u}) {
        rows.push_back({"info header of " + std::to_string(size) + " bytes",
                        bitmap_file(header(6, 2, 8, grey_palette(256), 0, size), pack_rows(6, 2, 8, false, ramp)), 6,
                        2, ramp_level});
    }
    for (const int width : {17, 20, 23}) {
        rows.push_back({"8-bit runs, width " + std::to_string(width),
                        bitmap_file(header(width, 6, 8, grey_palette(256), 1), encode_run_lengths(width, 6, 8, patches)),
                        width, 6, [](int x, int y) { return static_cast<int>(patches(x, y)); }});
        rows.push_back({"4-bit runs, width " + std::to_string(width),
                        bitmap_file(header(width, 6, 4, grey_palette(16), 2), encode_run_lengths(width, 6, 4, patches)),
                        width, 6, [](int x, int y) { return static_cast<int>(patches(x, y)) * 17; }});
    }
    // Bottom row: 2 x 50, then a move 3 right and 1 up; then 1 x 90 and end of line;
    // then the top row is ended at once and the bitmap ends. Skipped pixels take
    // palette entry 0.
    rows.push_back({"runs with skips",
                    bitmap_file(header(6, 3, 8, grey_palette(256), 1), Bytes{2, 50, 0, 2, 3, 1, 1, 90, 0, 0, 0, 0, 0, 1}),
                    6, 3, [](int x, int y) { return y == 2 && x < 2 ? 50 : y == 1 && x == 5 ? 90 : 0; }});
    // A width-5 four-bit row encoded in pairs: the run's sixth pixel is cut.
    rows.push_back({"run past the row end", bitmap_file(header(5, 1, 4, grey_palette(16), 2), Bytes{6, 0x3C, 0, 1}), 5, 1,
                    [](int x, int) { return x % 2 == 0 ? 3 * 17 : 12 * 17; }});
    return rows;
}

TEST(BitmapReader, EveryAcceptedLayoutGivesItsGreyLevels)
{
    for (const Accepted &row : accepted_files()) {
        SCOPED_TRACE(row.name);
        const auto image = decode(row.file);
        ASSERT_TRUE(image);
        expect_pixels(*image, row.width, row.height, row.level);
    }
}

TEST(BitmapReader, ColourPixelsBecomeTheirLuminance)
{
    const auto colour = [](int x, int) -> std::uint32_t {
        static const std::uint32_t colours[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
        return colours[x % 6];
    };
    std::vector<Bytes> files = {bitmap_file(header(6, 1, 8, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080}),
                                            pack_rows(6, 1, 8, false, [](int x, int) { return std::uint32_t(x); }))};
    for (const int bits : {24, 32})
        files.push_back(bitmap_file(header(6, 1, bits), pack_rows(6, 1, bits, false, colour)));
    for (const Bytes &file : files) {
        const auto image = decode(file);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->at(0, 0), 0);
        EXPECT_EQ(image->at(1, 0), 255);
        EXPECT_EQ(image->at(5, 0), 128);
        // Green weighs most, blue least.
        EXPECT_GT(image->at(3, 0), image->at(2, 0));
        EXPECT_GT(image->at(2, 0), image->at(4, 0));
        EXPECT_GT(image->at(4, 0), 0);
    }
}

struct Damage {
    const char *name;
    std::function<Bytes()> file;
};

void PrintTo(const Damage &damage, std::ostream *out) { *out << damage.name; }

Bytes good_file() { return bitmap_file(header(8, 4, 8, grey_palette(256)), pack_rows(8, 4, 8, false, ramp)); }

Bytes good_run_length_file()
{
    return bitmap_file(header(12, 4, 8, grey_palette(256), 1), encode_run_lengths(12, 4, 8, patches));
}

Bytes with_u32(Bytes file, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    return file;
}

Bytes with_u16(Bytes file, std::size_t at, std::uint16_t value)
{
    file[at] = static_cast<std::uint8_t>(value & 0xFF);
    file[at + 1] = static_cast<std::uint8_t>(value >> 8);
    return file;
}

Bytes cut(Bytes file, std::size_t size)
{
    file.resize(size);
    return file;
}

class RefusedBitmap : public ::testing::TestWithParam<Damage> {};

TEST_P(RefusedBitmap, IsNotReadAndLeavesTheImageAsItWas)
{
    GreyImage image(2, 1, {7, 9});
    EXPECT_FALSE(decode_grey_bitmap(GetParam().file(), image));
    ASSERT_EQ(image.width(), 2);
    EXPECT_EQ(image.at(1, 0), 9);
}

const Damage damages[] = {
    {"empty", [] { return Bytes{}; }},
    {"file header only", [] { return cut(good_file(), 14); }},
    {"another format", [] { return Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0}; }},
    {"text", [] { const std::string text = "BM is how this line starts, but it is not a bitmap at all"; return Bytes(text.begin(), text.end()); }},
    {"pixel data cut short", [] { const auto f = good_file(); return cut(f, f.size() - 1); }},
    {"palette cut short", [] { return cut(good_file(), 14 + 40 + 100); }},
    {"run-length stream cut short", [] { const auto f = good_run_length_file(); return cut(f, f.size() - 2); }},
    {"run-length stream cut inside a literal", [] { const auto f = good_run_length_file(); return cut(f, pixel_data_offset(f) + 3); }},
    {"run-length stream without its end", [] { return bitmap_file(header(4, 3, 8, grey_palette(256), 1), Bytes{4, 1, 0, 0}); }},
    {"run-length move out of the image", [] { return bitmap_file(header(4, 3, 8, grey_palette(256), 1), Bytes{0, 2, 5, 0, 0, 1}); }},
    {"run-length move past the last row", [] { return bitmap_file(header(4, 3, 8, grey_palette(256), 1), Bytes{0, 2, 1, 3, 0, 1}); }},
    {"run-length rows stored top-down", [] { return bitmap_file(header(12, -4, 8, grey_palette(256), 1), encode_run_lengths(12, 4, 8, patches)); }},
    {"absurd width and height", [] { return with_u32(with_u32(good_file(), 18, 100000), 22, 100000); }},
    {"too many pixels", [] { return with_u32(with_u32(good_file(), 18, 16384), 22, 16384); }},
    {"most negative height", [] { return with_u32(good_file(), 22, 0x80000000u); }},
    {"zero width", [] { return with_u32(good_file(), 18, 0); }},
    {"zero height", [] { return with_u32(good_file(), 22, 0); }},
    {"negative width", [] { return with_u32(good_file(), 18, static_cast<std::uint32_t>(-8)); }},
    {"two planes", [] { return with_u16(good_file(), 26, 2); }},
    {"seven bits per pixel", [] { return with_u16(good_file(), 28, 7); }},
    {"embedded JPEG", [] { return with_u32(good_file(), 30, 4); }},
    {"run-length code for 24 bits", [] { return with_u32(with_u16(good_file(), 28, 24), 30, 1); }},
    {"more colours than the depth allows", [] { return with_u32(good_file(), 46, 257); }},
    {"pixel data offset past the end", [] { return with_u32(good_file(), 10, 100000); }},
    {"pixel data offset inside the header", [] { return with_u32(good_file(), 10, 20); }},
    {"unknown header size", [] { return with_u32(good_file(), 14, 20); }},
    {"header size past the end", [] { return with_u32(good_file(), 14, 0x7FFFFFFF); }},
};

INSTANTIATE_TEST_SUITE_P(Damaged, RefusedBitmap, ::testing::ValuesIn(damages),
                         [](const ::testing::TestParamInfo<Damage> &param_info) {
                             std::string name;
                             for (const char *c = param_info.param.name; *c != '\0'; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(BitmapCheck, ReportsTheLayoutAndWhetherRunsWriteEveryPixel)
{
    const auto layout = check_bitmap(bitmap_file(header(5, -3, 24), pack_rows(5, 3, 24, true, ramp)));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->width, 5);
    EXPECT_EQ(layout->height, 3);
    EXPECT_TRUE(layout->top_down);
    EXPECT_EQ(layout->bits_per_pixel, 24);
    EXPECT_FALSE(layout->run_length_encoded);
    EXPECT_TRUE(layout->every_pixel_written);

    const auto full = check_bitmap(good_run_length_file());
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->run_length_encoded);
    EXPECT_TRUE(full->every_pixel_written);
    // A stream that ends early, and one whose line ends short.
    for (const Bytes &runs : {Bytes{4, 1, 0, 1}, Bytes{3, 1, 0, 0, 4, 1, 0, 1}}) {
        const auto partial = check_bitmap(bitmap_file(header(4, 2, 8, grey_palette(256), 1), runs));
        ASSERT_TRUE(partial);
        EXPECT_FALSE(partial->every_pixel_written);
    }
}

TEST(BitmapFile, OnlyAnOrdinaryFileOfAcceptableSizeIsRead)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("trackdemo-bitmaps-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "folder.bmp");
    write_file((folder / "frame.bmp").string(), good_file());
    GreyImage image;
    ASSERT_TRUE(read_grey_bitmap((folder / "frame.bmp").string(), image));
    expect_pixels(image, 8, 4, ramp_level);

    std::filesystem::resize_file(folder / "frame.bmp", static_cast<std::uintmax_t>(max_bitmap_file_size) + 1);
    GreyImage refused;
    for (const char *name : {"frame.bmp", "absent.bmp", "folder.bmp"})
        EXPECT_FALSE(read_grey_bitmap((folder / name).string(), refused)) << name;
    EXPECT_TRUE(refused.empty());
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace trackdemo::testing
