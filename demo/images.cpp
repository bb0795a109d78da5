// Grey frames, colour copies and the grey-to-colour copy.
#include "images.h"

#include <algorithm>
#include <utility>

namespace trackdemo {

GreyImage::GreyImage(int width, int height, std::vector<std::uint8_t> pixels)
{
    if (width <= 0 || height <= 0)
        return;
    if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return;
    width_ = width;
    height_ = height;
    pixels_ = std::move(pixels);
}

void RgbaImage::allocate(const Rect &rect)
{
    if (rect.width() <= 0 || rect.height() <= 0) {
        rect_ = {};
        pixels_.clear();
        return;
    }
    rect_ = rect;
    const std::size_t count = static_cast<std::size_t>(rect.width()) * static_cast<std::size_t>(rect.height());
    pixels_.assign(count * bytes_per_pixel, 0);
    for (std::size_t i = 0; i < count; ++i)
        pixels_[i * bytes_per_pixel + 3] = 0xFF;
}

std::uint32_t RgbaImage::at(int x, int y) const
{
    const std::size_t offset = static_cast<std::size_t>(y) * static_cast<std::size_t>(bytes_per_line()) +
                               static_cast<std::size_t>(x) * bytes_per_pixel;
    const std::uint8_t *p = pixels_.data() + offset;
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void copy_grey_to_rgba(const GreyImage &source, RgbaImage &copy)
{
    if (source.empty() || copy.empty())
        return;
    const int columns = std::min(source.width(), copy.width());
    const int rows = std::min(source.height(), copy.height());
    const std::uint8_t *from = source.pixels();
    std::uint8_t *to = copy.pixels();
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t *grey = from + static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width());
        std::uint8_t *rgba = to + static_cast<std::size_t>(y) * static_cast<std::size_t>(copy.bytes_per_line());
        for (int x = 0; x < columns; ++x) {
            rgba[0] = rgba[1] = rgba[2] = grey[x];
            rgba[3] = 0xFF;
            rgba += RgbaImage::bytes_per_pixel;
        }
    }
}

} // namespace trackdemo
