// The imaging layer: bitmap files read through the bitmap reader, drawing through a
// painter working directly on the colour image's pixel memory.
#pragma once

#include "layers.h"

namespace trackdemo {

class PainterImaging final : public Imaging {
public:
    bool read_grey(const std::string &file_name, GreyImage &image) override;
    // Null for an image that holds no pixels.
    std::unique_ptr<DrawingContext> drawing_context(RgbaImage &image) override;
};

} // namespace trackdemo
