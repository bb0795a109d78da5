// Writes the sample frame pair: two 8-bit grey bitmaps of a smooth, everywhere
// textured pattern, the second showing the pattern moved by a known sub-pixel
// translation. Usage: make-sample-frames DIRECTORY
#include "sample_motion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <vector>

namespace {

// A fixed pseudo-random sequence (splitmix64), the same on every platform.
class Sequence {
public:
    double uniform(double low, double high)
    {
        state_ += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return low + (high - low) * static_cast<double>(z >> 11) / 9007199254740992.0;
    }

private:
    std::uint64_t state_ = 20240601;
};

struct Wave {
    double fx, fy, phase, amplitude;
};

struct Blob {
    double x, y, radius, amplitude;
};

// A continuous pattern: plane waves of 9 to 40 pixels in many directions, plus
// soft blobs, so that every 5 x 5 window holds gradients in two directions.
class Pattern {
public:
    Pattern()
    {
        Sequence random;
        // Directions spread evenly over the half circle, so no direction dominates.
        for (std::size_t i = 0; i < waves_.size(); ++i) {
            auto &wave = waves_[i];
            const double angle = (static_cast<double>(i) + random.uniform(0.0, 1.0)) * std::numbers::pi /
                                 static_cast<double>(waves_.size());
            const double wavelength = random.uniform(9.0, 40.0);
            wave = {std::cos(angle) / wavelength, std::sin(angle) / wavelength, random.uniform(0.0, 2 * std::numbers::pi),
                    random.uniform(10.0, 22.0)};
        }
        for (auto &blob : blobs_)
            blob = {random.uniform(-20.0, 340.0), random.uniform(-20.0, 260.0), random.uniform(4.0, 14.0),
                    random.uniform(-60.0, 60.0)};
    }

    double at(double x, double y) const
    {
        double value = 128.0;
        for (const auto &wave : waves_)
            value += wave.amplitude * std::sin(2 * std::numbers::pi * (wave.fx * x + wave.fy * y) + wave.phase);
        for (const auto &blob : blobs_) {
            const double dx = x - blob.x;
            const double dy = y - blob.y;
            value += blob.amplitude * std::exp(-(dx * dx + dy * dy) / (2 * blob.radius * blob.radius));
        }
        return value;
    }

private:
    std::array<Wave, 10> waves_{};
    std::array<Blob, 60> blobs_{};
};

// Frame rows top first, the pattern moved by (shift_x, shift_y).
std::vector<std::uint8_t> render(const Pattern &pattern, double shift_x, double shift_y)
{
    using namespace trackdemo::samples;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double value = pattern.at(x - shift_x, y - shift_y);
            pixels[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
        }
    }
    return pixels;
}

void put16(std::ofstream &out, std::uint16_t value)
{
    const char bytes[] = {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
    out.write(bytes, sizeof bytes);
}

void put32(std::ofstream &out, std::uint32_t value)
{
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

// An uncompressed 8-bit bitmap with a grey palette, rows stored bottom first.
bool write_grey_bitmap(const std::string &file_name, const std::vector<std::uint8_t> &pixels, int width, int height)
{
    const std::uint32_t row_bytes = (static_cast<std::uint32_t>(width) + 3u) & ~3u;
    const std::uint32_t offset = 14 + 40 + 256 * 4;
    const std::uint32_t data_size = row_bytes * static_cast<std::uint32_t>(height);
    std::ofstream out(file_name, std::ios::binary);
    out.write("BM", 2);
    put32(out, offset + data_size);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);
    put32(out, data_size);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 256);
    put32(out, 0);
    for (int i = 0; i < 256; ++i) {
        const char entry[] = {static_cast<char>(i), static_cast<char>(i), static_cast<char>(i), 0};
        out.write(entry, sizeof entry);
    }
    const std::vector<char> padding(row_bytes - static_cast<std::uint32_t>(width), 0);
    for (int y = height - 1; y >= 0; --y) {
        out.write(reinterpret_cast<const char *>(pixels.data()) + static_cast<std::size_t>(y) * width, width);
        out.write(padding.data(), static_cast<std::streamsize>(padding.size()));
    }
    return static_cast<bool>(out.flush());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "usage: make-sample-frames DIRECTORY\n";
        return 2;
    }
    using namespace trackdemo::samples;
    const std::string directory = argv[1];
    const Pattern pattern;
    if (!write_grey_bitmap(directory + "/image1.bmp", render(pattern, 0.0, 0.0), width, height) ||
        !write_grey_bitmap(directory + "/image2.bmp", render(pattern, shift_x, shift_y), width, height)) {
        std::cerr << "make-sample-frames: cannot write the frames into " << directory << '\n';
        return 1;
    }
    return 0;
}
