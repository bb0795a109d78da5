// The pyramid's padding: sizes rounded up, borders replicated, points judged against the frame itself.
#include "padding.h"

#include <opencv2/core.hpp>

namespace morvane::track {

namespace {

int round_up(int value, std::int64_t factor)
{
    const std::int64_t rounded = (value + factor - 1) / factor * factor;
    return rounded > INT32_MAX ? value : static_cast<int>(rounded);
}

} // namespace

cv::Size padded_size(cv::Size frame, long levels)
{
    if (levels < 0 || levels > 30)
        return frame;
    const std::int64_t factor = std::int64_t{1} << levels;
    return {round_up(frame.width, factor), round_up(frame.height, factor)};
}

cv::Mat pad_frame(const cv::Mat &grey, cv::Size size)
{
    // Always a copy: the frame's memory is the caller's and may change after the step.
    if (grey.size() == size)
        return grey.clone();
    cv::Mat padded;
    cv::copyMakeBorder(grey, padded, 0, size.height - grey.rows, 0, size.width - grey.cols, cv::BORDER_REPLICATE);
    return padded;
}

bool inside_frame(cv::Point2f p, cv::Size frame)
{
    // The last pixel's centre is at size - 1; a point beyond it has left.
    return p.x >= 0.0f && p.y >= 0.0f && p.x <= static_cast<float>(frame.width - 1) &&
           p.y <= static_cast<float>(frame.height - 1);
}

} // namespace morvane::track
