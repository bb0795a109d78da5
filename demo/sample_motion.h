// The sample frames demo/samples/image1.bmp and image2.bmp: their size and the
// motion between them. The content of frame 2 is that of frame 1 moved by
// (shift_x, shift_y), so a point at (x, y) in frame 1 lies at (x + shift_x,
// y + shift_y) in frame 2.
#pragma once

namespace trackdemo::samples {

inline constexpr int width = 320;
inline constexpr int height = 240;
inline constexpr double shift_x = 1.4;
inline constexpr double shift_y = -0.9;

} // namespace trackdemo::samples
