// The one reader of 8-bit and 4-bit run-length streams, shared by the file check and the decoder.
#include "bitmap_run_lengths.h"

#include <algorithm>
#include <cstddef>

namespace trackdemo {

namespace {

// Where the pixels of the stream go: row y (counted from the bottom) at x, or
// nowhere when only the stream's shape is wanted.
class PixelSink {
public:
    PixelSink(std::span<std::uint8_t> indices, const RunLengthImage &image)
        : indices_(indices), width_(image.width), height_(image.height), four_bit_(image.bits_per_pixel == 4)
    {
        std::fill(indices_.begin(), indices_.end(), std::uint8_t{0});
    }

    // Index `n` of a byte that holds one (8 bits) or two (4 bits) pixel indices.
    std::uint8_t index_in(std::uint8_t byte, std::int64_t n) const
    {
        if (!four_bit_)
            return byte;
        return static_cast<std::uint8_t>(n % 2 == 0 ? byte >> 4 : byte & 0x0F);
    }

    void put(std::int64_t x, std::int64_t y, std::uint8_t index)
    {
        if (indices_.empty() || x >= width_ || y >= height_)
            return;
        const std::int64_t row = height_ - 1 - y;
        indices_[static_cast<std::size_t>(row * width_ + x)] = index;
    }

    bool four_bit() const { return four_bit_; }

private:
    std::span<std::uint8_t> indices_;
    std::int64_t width_;
    std::int64_t height_;
    bool four_bit_;
};

} // namespace

bool read_run_lengths(std::span<const std::uint8_t> stream, const RunLengthImage &image,
                      std::span<std::uint8_t> indices, bool &every_pixel_written)
{
    const std::int64_t width = image.width;
    const std::int64_t rows = image.height;
    if (!indices.empty() && static_cast<std::int64_t>(indices.size()) != width * rows)
        return false;
    PixelSink sink(indices, image);
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
            // A run of `first` pixels of one value (two alternating values at 4 bits).
            for (std::int64_t n = 0; n < first && x + n < width; ++n)
                sink.put(x + n, y, sink.index_in(second, n));
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
            every_pixel_written = complete;
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
            const std::size_t bytes = sink.four_bit() ? (second + 1u) / 2u : second;
            const std::size_t padded = bytes + (bytes & 1u);
            if (stream.size() - at < padded)
                return false;
            for (std::int64_t n = 0; n < second && x + n < width; ++n) {
                const std::uint8_t byte = stream[at + static_cast<std::size_t>(sink.four_bit() ? n / 2 : n)];
                sink.put(x + n, y, sink.index_in(byte, n));
            }
            at += padded;
            x = std::min(x + second, width);
            break;
        }
        }
    }
    every_pixel_written = complete;
    return true;
}

} // namespace trackdemo
