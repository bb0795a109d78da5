// Bitmap decoding into 8-bit grey: the image library for plain files, the run-length reader for
// compressed ones, colours turned into grey.
#include "bitmap_reader.h"

#include "bitmap_check.h"
#include "bitmap_run_lengths.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <array>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace trackdemo {

namespace {

// Room for the decoder's 32-bit working image of the largest accepted bitmap.
constexpr int decoder_allocation_limit_mb = static_cast<int>(4 * max_bitmap_pixels / (1024 * 1024));

std::optional<std::vector<std::uint8_t>> read_file(const std::string &file_name)
{
    std::error_code error;
    const std::filesystem::path path(file_name);
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > static_cast<std::uintmax_t>(max_bitmap_file_size))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return std::nullopt;
    return bytes;
}

// Grey value of each palette entry; indices past the palette's end read as black.
std::array<std::uint8_t, 256> grey_palette(const QImage &indexed)
{
    std::array<std::uint8_t, 256> grey{};
    const QList<QRgb> table = indexed.colorTable();
    for (qsizetype i = 0; i < table.size() && i < 256; ++i)
        grey[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(qGray(table[i]));
    return grey;
}

// Copies the decoded image into rows of exactly `width` bytes, top row first.
std::vector<std::uint8_t> grey_rows(const QImage &decoded)
{
    const int width = decoded.width();
    const int height = decoded.height();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    auto out = pixels.begin();
    const bool indexed = decoded.format() == QImage::Format_Indexed8 || decoded.format() == QImage::Format_Mono ||
                         decoded.format() == QImage::Format_MonoLSB;
    if (indexed) {
        const QImage image = decoded.convertToFormat(QImage::Format_Indexed8);
        const auto grey = grey_palette(image);
        for (int y = 0; y < height; ++y) {
            const uchar *row = image.constScanLine(y);
            for (int x = 0; x < width; ++x)
                *out++ = grey[row[x]];
        }
        return pixels;
    }
    const QImage image = decoded.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x)
            *out++ = static_cast<std::uint8_t>(qGray(row[x]));
    }
    return pixels;
}

// Grey value of each entry of the file's own palette; entries it lacks read as black.
std::array<std::uint8_t, 256> file_palette(std::span<const std::uint8_t> file, const BitmapLayout &layout)
{
    std::array<std::uint8_t, 256> grey{};
    for (std::size_t i = 0; i < layout.palette_entries && i < grey.size(); ++i) {
        const std::size_t at = layout.palette_offset + i * layout.palette_entry_size;
        grey[i] = static_cast<std::uint8_t>(qGray(file[at + 2], file[at + 1], file[at]));
    }
    return grey;
}

// Run-length files are decoded here rather than by the imaging library, with the
// routine that checked them, so that every pixel is defined and the check and
// the decoding can never disagree about where the stream ends.
std::vector<std::uint8_t> decode_run_lengths(std::span<const std::uint8_t> file, const BitmapLayout &layout)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height));
    bool every_pixel_written = true;
    const RunLengthImage shape{layout.width, layout.height, layout.bits_per_pixel};
    if (!read_run_lengths(file.subspan(layout.pixel_offset), shape, pixels, every_pixel_written))
        return {};
    const auto grey = file_palette(file, layout);
    for (std::uint8_t &pixel : pixels)
        pixel = grey[pixel];
    return pixels;
}

} // namespace

bool decode_grey_bitmap(std::span<const std::uint8_t> file, GreyImage &image)
{
    const auto layout = check_bitmap(file);
    if (!layout)
        return false;

    if (layout->run_length_encoded) {
        GreyImage grey(layout->width, layout->height, decode_run_lengths(file, *layout));
        if (grey.empty())
            return false;
        image = std::move(grey);
        return true;
    }

    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(file.data()),
                                               static_cast<qsizetype>(file.size()));
    QBuffer device(&bytes);
    if (!device.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&device, "bmp");
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(decoder_allocation_limit_mb);

    QImage decoded;
    if (!reader.read(&decoded))
        return false;
    if (decoded.width() != layout->width || decoded.height() != layout->height)
        return false;

    GreyImage grey(layout->width, layout->height, grey_rows(decoded));
    if (grey.empty())
        return false;
    image = std::move(grey);
    return true;
}

bool read_grey_bitmap(const std::string &file_name, GreyImage &image)
{
    try {
        const auto bytes = read_file(file_name);
        return bytes && decode_grey_bitmap(*bytes, image);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

} // namespace trackdemo
