// The run-length streams of 8-bit and 4-bit bitmaps, read by one routine for
// both the check of a file and its decoding, so that the two always agree on
// which pixels a stream writes.
#pragma once

#include <cstdint>
#include <span>

namespace trackdemo {

struct RunLengthImage {
    int width = 0;
    int height = 0;         // rows, stored bottom row first
    int bits_per_pixel = 8; // 8 or 4
};

// Walks the stream over an image of that shape. Runs that reach past a row's
// end are cut there; pixels the stream never writes (moves, early line or
// bitmap ends) are palette entry 0. When `indices` is not empty it must hold
// width × height bytes, and receives every pixel's palette index, top row
// first. False when the stream leaves its bytes, moves out of the image or
// never ends; then `indices` holds no meaningful image. `every_pixel_written`
// tells whether the stream wrote each pixel itself.
bool read_run_lengths(std::span<const std::uint8_t> stream, const RunLengthImage &image,
                      std::span<std::uint8_t> indices, bool &every_pixel_written);

} // namespace trackdemo
