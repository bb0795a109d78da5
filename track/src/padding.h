// Frames padded on the right and bottom to the size the component's pyramid
// needs: a multiple of 2^levels in each direction.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>

namespace morvane::track {

// The frame size rounded up to multiples of 2^levels; the size itself for
// levels the component would refuse anyway (negative or beyond 30).
cv::Size padded_size(cv::Size frame, long levels);

// A copy of grey grown to size by replicating its last column and row, as one
// continuous block.
cv::Mat pad_frame(const cv::Mat &grey, cv::Size size);

// Whether p lies on the frame itself, not in its padding or beyond.
bool inside_frame(cv::Point2f p, cv::Size frame);

} // namespace morvane::track
