// Reads a bitmap file of any common kind (1, 4, 8, 16, 24 or 32 bits per pixel,
// bottom-up or top-down, run-length encoded or not) as an 8-bit grey image.
#pragma once

#include "images.h"

#include <cstdint>
#include <span>
#include <string>

namespace trackdemo {

// False, with the image left as it was, when the file is missing, is not a bitmap,
// is truncated or malformed, or is too large.
bool read_grey_bitmap(const std::string &file_name, GreyImage &image);
bool decode_grey_bitmap(std::span<const std::uint8_t> file, GreyImage &image);

} // namespace trackdemo
