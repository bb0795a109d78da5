// Synthetic frames with an exactly known motion, for the tracker's tests and
// benchmarks.
#pragma once

#include <opencv2/core.hpp>

namespace morvane::test {

// A smooth texture of columns × lines bytes, moved by (dx, dy): what lies at p
// in the frame without motion lies at p + (dx, dy) in this one. The same seed
// gives the same texture.
cv::Mat textured_frame(int columns, int lines, double dx = 0.0, double dy = 0.0, unsigned seed = 7);

// The same texture under any affine motion: pixel (x, y) shows the texture's
// point scene_of_pixel * (x, y, 1); grey levels times gain around 0.
cv::Mat textured_frame(int columns, int lines, const cv::Matx23d &scene_of_pixel, double gain, unsigned seed);

} // namespace morvane::test
