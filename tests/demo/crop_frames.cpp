// Cuts bitmap frames to their top-left WIDTH x HEIGHT pixels, writing each back as
// an 8-bit grey bitmap. Usage: crop-frames FILE... WIDTH HEIGHT
#include "bitmap_files.h"
#include "bitmap_reader.h"

#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    using namespace trackdemo;
    if (argc < 4) {
        std::cerr << "usage: crop-frames FILE... WIDTH HEIGHT\n";
        return 2;
    }
    const int width = std::atoi(argv[argc - 2]);
    const int height = std::atoi(argv[argc - 1]);
    for (int i = 1; i < argc - 2; ++i) {
        GreyImage frame;
        if (!read_grey_bitmap(argv[i], frame) || width > frame.width() || height > frame.height() || width <= 0 ||
            height <= 0) {
            std::cerr << "crop-frames: cannot cut " << argv[i] << '\n';
            return 1;
        }
        testing::BitmapHeader header;
        header.width = width;
        header.height = height;
        header.bits = 8;
        header.palette = testing::grey_palette(256);
        const auto pixels = testing::pack_rows(width, height, 8, false, [&](int x, int y) { return frame.at(x, y); });
        testing::write_file(argv[i], testing::bitmap_file(header, pixels));
    }
    return 0;
}
