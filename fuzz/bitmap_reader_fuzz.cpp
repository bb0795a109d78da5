// Any bytes are refused by the bitmap reader or read as a grey image of width * height bytes.
#include "bitmap_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    trackdemo::GreyImage image;
    if (!trackdemo::decode_grey_bitmap({data, size}, image))
        return 0;
    if (image.empty() || image.width() <= 0 || image.height() <= 0)
        std::abort();
    // Touch every pixel so that reading past the memory shows.
    unsigned sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += image.at(x, y);
    return sum == 0xFFFFFFFFu ? 1 : 0;
}
