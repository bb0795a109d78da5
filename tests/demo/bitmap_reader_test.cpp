// Bitmap files of every common kind read as 8-bit grey rows of exactly `width`
// bytes, and damaged or absurd files refused without harm.
#include "bitmap_check.h"
#include "bitmap_files.h"
#include "bitmap_reader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace trackdemo::testing {
namespace {

// Grey levels that differ from pixel to pixel and from row to row.
std::uint32_t ramp(int x, int y)
{
    return static_cast<std::uint32_t>((x * 37 + y * 11) % 256);
}

std::uint32_t grey_colour(std::uint32_t level)
{
    return level << 16 | level << 8 | level;
}

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
    const std::uint8_t *memory = image.pixels();
    ASSERT_NE(memory, nullptr);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(memory[y * width + x], expected(x, y)) << "at (" << x << ", " << y << ")";
    }
}

BitmapHeader header(int width, int height, int bits, std::vector<std::uint32_t> palette = {})
{
    BitmapHeader h;
    h.width = width;
    h.height = height;
    h.bits = static_cast<std::uint16_t>(bits);
    h.palette = std::move(palette);
    return h;
}

class EightBitGrey : public ::testing::TestWithParam<int> {};

TEST_P(EightBitGrey, RowsAreExactlyWidthBytesTopRowFirst)
{
    const int width = GetParam();
    for (const bool top_down : {false, true}) {
        const auto h = header(width, top_down ? -5 : 5, 8, grey_palette(256));
        const auto image = decode(bitmap_file(h, pack_rows(width, 5, 8, top_down, ramp)));
        ASSERT_TRUE(image) << "top-down " << top_down;
        expect_pixels(*image, width, 5, [](int x, int y) { return static_cast<int>(ramp(x, y)); });
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, EightBitGrey, ::testing::Values(1, 2, 3, 4, 5, 7, 13, 320));

TEST(BitmapReader, ColourPixelsBecomeTheirLuminance)
{
    const auto colour = [](int x, int) -> std::uint32_t {
        static const std::uint32_t colours[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
        return colours[x % 6];
    };
    for (const int bits : {24, 32}) {
        const auto image = decode(bitmap_file(header(6, 2, bits), pack_rows(6, 2, bits, false, colour)));
        ASSERT_TRUE(image) << bits << " bits";
        EXPECT_EQ(image->at(0, 0), 0);
        EXPECT_EQ(image->at(1, 0), 255);
        EXPECT_EQ(image->at(5, 1), 128);
        // Green weighs most, blue least.
        EXPECT_GT(image->at(3, 0), image->at(2, 0));
        EXPECT_GT(image->at(2, 0), image->at(4, 0));
        EXPECT_GT(image->at(4, 0), 0);
    }
}

TEST(BitmapReader, TrueColourGreysKeepTheirLevel)
{
    for (const int bits : {24, 32}) {
        for (const bool top_down : {false, true}) {
            auto h = header(7, top_down ? -3 : 3, bits);
            const auto image =
                decode(bitmap_file(h, pack_rows(7, 3, bits, top_down, [](int x, int y) { return grey_colour(ramp(x, y)); })));
            ASSERT_TRUE(image) << bits << " bits, top-down " << top_down;
            expect_pixels(*image, 7, 3, [](int x, int y) { return static_cast<int>(ramp(x, y)); });
        }
    }
}

TEST(BitmapReader, SixteenBitPixelsAreRead)
{
    // Five bits per channel: 0x7FFF is white, 0 black.
    const auto value = [](int x, int y) -> std::uint32_t { return (x + y) % 2 == 0 ? 0x7FFFu : 0u; };
    const auto image = decode(bitmap_file(header(5, 3, 16), pack_rows(5, 3, 16, false, value)));
    ASSERT_TRUE(image);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            if ((x + y) % 2 == 0)
                EXPECT_GE(image->at(x, y), 248) << x << ", " << y; // 31 of 31 spread over 8 bits
            else
                EXPECT_EQ(image->at(x, y), 0) << x << ", " << y;
        }
    }
}

TEST(BitmapReader, BitFieldPixelsFollowTheirMasks)
{
    auto h = header(3, 2, 32);
    h.compression = 3;
    h.masks = {0x0000FF00, 0x00FF0000, 0xFF000000}; // red, green, blue in the high bytes
    const auto level = [](int x, int y) { return static_cast<std::uint32_t>(40 * x + 100 * y); };
    Bytes data;
    for (int y = 1; y >= 0; --y) {
        for (int x = 0; x < 3; ++x) {
            const std::uint32_t v = level(x, y);
            const std::uint32_t word = v << 8 | v << 16 | v << 24;
            for (int b = 0; b < 4; ++b)
                data.push_back(static_cast<std::uint8_t>(word >> (8 * b)));
        }
    }
    const auto image = decode(bitmap_file(h, data));
    ASSERT_TRUE(image);
    expect_pixels(*image, 3, 2, [&](int x, int y) { return static_cast<int>(level(x, y)); });
}

TEST(BitmapReader, PalettePixelsOfOneAndFourBits)
{
    const auto two = decode(
        bitmap_file(header(9, 3, 1, {0x000000, 0xFFFFFF}), pack_rows(9, 3, 1, false, [](int x, int y) {
                        return static_cast<std::uint32_t>((x + y) % 2);
                    })));
    ASSERT_TRUE(two);
    expect_pixels(*two, 9, 3, [](int x, int y) { return (x + y) % 2 == 0 ? 0 : 255; });

    const auto sixteen = decode(bitmap_file(header(5, -4, 4, grey_palette(16)), pack_rows(5, 4, 4, true, [](int x, int y) {
                                                return static_cast<std::uint32_t>((x + 3 * y) % 16);
                                            })));
    ASSERT_TRUE(sixteen);
    expect_pixels(*sixteen, 5, 4, [](int x, int y) { return (x + 3 * y) % 16 * 17; });
}

TEST(BitmapReader, PaletteColoursBecomeGrey)
{
    const auto image = decode(bitmap_file(header(2, 1, 8, {0x00FF00, 0x0000FF}), pack_rows(2, 1, 8, false, [](int x, int) {
                                              return static_cast<std::uint32_t>(x);
                                          })));
    ASSERT_TRUE(image);
    EXPECT_GT(image->at(0, 0), image->at(1, 0));
    EXPECT_GT(image->at(1, 0), 0);
}

TEST(BitmapReader, IndicesPastAShortPaletteReadAsBlack)
{
    const auto image = decode(bitmap_file(header(3, 1, 8, {0x404040, 0x808080}), pack_rows(3, 1, 8, false, [](int x, int) {
                                              return static_cast<std::uint32_t>(x * 100);
                                          })));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->at(0, 0), 0x40);
    EXPECT_EQ(image->at(1, 0), 0);
    EXPECT_EQ(image->at(2, 0), 0);
}

TEST(BitmapReader, CoreHeaderFilesAreRead)
{
    auto h = header(6, 2, 8, grey_palette(256));
    h.info_size = 12;
    const auto image = decode(bitmap_file(h, pack_rows(6, 2, 8, false, ramp)));
    ASSERT_TRUE(image);
    expect_pixels(*image, 6, 2, [](int x, int y) { return static_cast<int>(ramp(x, y)); });
}

TEST(BitmapReader, LaterInfoHeadersAreRead)
{
    for (const std::uint32_t size : {108u, 124u}) {
        auto h = header(5, 2, 8, grey_palette(256));
        h.info_size = size;
        const auto image = decode(bitmap_file(h, pack_rows(5, 2, 8, false, ramp)));
        ASSERT_TRUE(image) << size;
        expect_pixels(*image, 5, 2, [](int x, int y) { return static_cast<int>(ramp(x, y)); });
    }
}

// Runs of equal pixels between stretches of distinct ones.
std::uint32_t patches(int x, int y)
{
    return static_cast<std::uint32_t>(x % 10 < 5 ? (y * 3) % 16 : (x * 7 + y) % 16);
}

TEST(BitmapReader, RunLengthFilesOfEightAndFourBits)
{
    for (const int width : {17, 20, 23}) {
        auto h8 = header(width, 6, 8, grey_palette(256));
        h8.compression = 1;
        const auto eight = decode(bitmap_file(h8, encode_run_lengths(width, 6, 8, patches)));
        ASSERT_TRUE(eight) << width;
        expect_pixels(*eight, width, 6, [](int x, int y) { return static_cast<int>(patches(x, y)); });

        auto h4 = header(width, 6, 4, grey_palette(16));
        h4.compression = 2;
        const auto four = decode(bitmap_file(h4, encode_run_lengths(width, 6, 4, patches)));
        ASSERT_TRUE(four) << width;
        expect_pixels(*four, width, 6, [](int x, int y) { return static_cast<int>(patches(x, y)) * 17; });
    }
}

TEST(BitmapReader, PixelsARunLengthStreamSkipsTakePaletteEntryZero)
{
    auto h = header(6, 3, 8, grey_palette(256));
    h.compression = 1;
    // Bottom row: 2 x 50, then a move 3 right and 1 up; then 1 x 90 and end of line;
    // then the top row is ended at once and the bitmap ends.
    const Bytes data = {2, 50, 0, 2, 3, 1, 1, 90, 0, 0, 0, 0, 0, 1};
    const auto image = decode(bitmap_file(h, data));
    ASSERT_TRUE(image);
    expect_pixels(*image, 6, 3, [](int x, int y) {
        if (y == 2 && x < 2)
            return 50;
        if (y == 1 && x == 5)
            return 90;
        return 0;
    });
}

TEST(BitmapReader, RunsPastTheRowEndAreCut)
{
    // A width-5 four-bit row encoded in pairs: the run covers a sixth, padding pixel.
    auto h = header(5, 1, 4, grey_palette(16));
    h.compression = 2;
    const Bytes data = {6, 0x3C, 0, 1};
    const auto image = decode(bitmap_file(h, data));
    ASSERT_TRUE(image);
    expect_pixels(*image, 5, 1, [](int x, int) { return x % 2 == 0 ? 3 * 17 : 12 * 17; });
}

struct Damage {
    const char *name;
    std::function<Bytes()> file;
};

void PrintTo(const Damage &damage, std::ostream *out)
{
    *out << damage.name;
}

Bytes good_file()
{
    return bitmap_file(header(8, 4, 8, grey_palette(256)), pack_rows(8, 4, 8, false, ramp));
}

Bytes good_run_length_file()
{
    auto h = header(12, 4, 8, grey_palette(256));
    h.compression = 1;
    return bitmap_file(h, encode_run_lengths(12, 4, 8, patches));
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
    {"run-length stream without its end", [] { auto h = header(4, 3, 8, grey_palette(256)); h.compression = 1; return bitmap_file(h, Bytes{4, 1, 0, 0}); }},
    {"run-length move out of the image", [] { auto h = header(4, 3, 8, grey_palette(256)); h.compression = 1; return bitmap_file(h, Bytes{0, 2, 5, 0, 0, 1}); }},
    {"run-length move past the last row", [] { auto h = header(4, 3, 8, grey_palette(256)); h.compression = 1; return bitmap_file(h, Bytes{0, 2, 1, 3, 0, 1}); }},
    {"run-length rows stored top-down", [] { auto h = header(12, -4, 8, grey_palette(256)); h.compression = 1; return bitmap_file(h, encode_run_lengths(12, 4, 8, patches)); }},
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

TEST(BitmapCheck, ReportsTheLayoutOfAGoodFile)
{
    const auto layout = check_bitmap(bitmap_file(header(5, -3, 24), pack_rows(5, 3, 24, true, ramp)));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->width, 5);
    EXPECT_EQ(layout->height, 3);
    EXPECT_TRUE(layout->top_down);
    EXPECT_EQ(layout->bits_per_pixel, 24);
    EXPECT_FALSE(layout->run_length_encoded);
    EXPECT_TRUE(layout->every_pixel_written);
}

TEST(BitmapCheck, TellsWhetherARunLengthStreamWritesEveryPixel)
{
    const auto full = check_bitmap(good_run_length_file());
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->run_length_encoded);
    EXPECT_TRUE(full->every_pixel_written);

    auto h = header(4, 2, 8, grey_palette(256));
    h.compression = 1;
    const auto early_end = check_bitmap(bitmap_file(h, Bytes{4, 1, 0, 1}));
    ASSERT_TRUE(early_end);
    EXPECT_FALSE(early_end->every_pixel_written);
    const auto short_line = check_bitmap(bitmap_file(h, Bytes{3, 1, 0, 0, 4, 1, 0, 1}));
    ASSERT_TRUE(short_line);
    EXPECT_FALSE(short_line->every_pixel_written);
}

class BitmapFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = std::filesystem::temp_directory_path() /
                     ("trackdemo-bitmaps-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }
    std::string path(const char *name) const { return (directory_ / name).string(); }

    std::filesystem::path directory_;
};

TEST_F(BitmapFile, AFileOnDiskIsRead)
{
    write_file(path("frame.bmp"), good_file());
    GreyImage image;
    ASSERT_TRUE(read_grey_bitmap(path("frame.bmp"), image));
    expect_pixels(image, 8, 4, [](int x, int y) { return static_cast<int>(ramp(x, y)); });
}

TEST_F(BitmapFile, MissingFilesAndDirectoriesAreRefused)
{
    GreyImage image;
    EXPECT_FALSE(read_grey_bitmap(path("absent.bmp"), image));
    std::filesystem::create_directory(path("folder.bmp"));
    EXPECT_FALSE(read_grey_bitmap(path("folder.bmp"), image));
    EXPECT_TRUE(image.empty());
}

TEST_F(BitmapFile, OversizedFilesAreRefusedBeforeBeingRead)
{
    {
        std::ofstream out(path("large.bmp"), std::ios::binary);
        const auto file = good_file();
        out.write(reinterpret_cast<const char *>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    std::filesystem::resize_file(path("large.bmp"), static_cast<std::uintmax_t>(max_bitmap_file_size) + 1);
    GreyImage image;
    EXPECT_FALSE(read_grey_bitmap(path("large.bmp"), image));
}

} // namespace
} // namespace trackdemo::testing
