// The program's two kinds of image: the grey frames handed to the tracker and the
// colour copies the marks are drawn on and that are shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace trackdemo {

// An image's extent; width and height are both 0 for an image that holds no pixels.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect &) const = default;
};

// 8-bit grey pixels, `height` rows of exactly `width` bytes, top row first: the frame
// layout the tracker reads, so the pixel memory goes to it as it is.
class GreyImage {
public:
    GreyImage() = default;
    // `pixels` must hold width * height bytes; otherwise the image stays empty.
    GreyImage(int width, int height, std::vector<std::uint8_t> pixels);

    int width() const { return width_; }
    int height() const { return height_; }
    Rect rect() const { return {0, 0, width_, height_}; }
    bool empty() const { return pixels_.empty(); }
    // Start of the pixel memory, or null when the image holds none.
    std::uint8_t *pixels() { return empty() ? nullptr : pixels_.data(); }
    const std::uint8_t *pixels() const { return empty() ? nullptr : pixels_.data(); }
    std::uint8_t at(int x, int y) const { return pixels_[index(x, y)]; }

private:
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> pixels_;
};

// Four bytes per pixel in the order red, green, blue, alpha; rows of exactly
// 4 * width bytes, top row first.
class RgbaImage {
public:
    static constexpr int bytes_per_pixel = 4;

    // Gives the image pixel memory of the rectangle's shape, opaque black.
    void allocate(const Rect &rect);

    int width() const { return rect_.width(); }
    int height() const { return rect_.height(); }
    const Rect &rect() const { return rect_; }
    bool empty() const { return pixels_.empty(); }
    std::uint8_t *pixels() { return empty() ? nullptr : pixels_.data(); }
    const std::uint8_t *pixels() const { return empty() ? nullptr : pixels_.data(); }
    int bytes_per_line() const { return width() * bytes_per_pixel; }
    // The pixel at image coordinates (x, y) as 0xRRGGBBAA.
    std::uint32_t at(int x, int y) const;

private:
    Rect rect_;
    std::vector<std::uint8_t> pixels_;
};

// Converts the grey source into the copy, placing the source's top-left pixel at the
// copy's top-left; only the part that both rectangles share is written.
void copy_grey_to_rgba(const GreyImage &source, RgbaImage &copy);

} // namespace trackdemo
