#include "flow_tracking.h"

#include <opencv2/video/tracking.hpp>

#include <algorithm>
#include <limits>

namespace morvane {

namespace {

constexpr std::int64_t int_limit = std::numeric_limits<int>::max();

// Values the tracker keeps per window pixel: the patch and its two gradients.
constexpr std::int64_t values_per_window_pixel = 3;

// Every level is padded by the window on each side, with a reflected border,
// as the library pads the pyramids it builds for itself.
constexpr int level_border = cv::BORDER_REFLECT_101;

} // namespace

std::optional<cv::Size> flow_window(std::int64_t columns, std::int64_t lines,
                                    std::int64_t half_width, std::int64_t half_height)
{
    if (half_width < 1 || half_height < 1 || columns < 1 || lines < 1)
        return std::nullopt;
    const std::int64_t width = 2 * half_width + 1;
    const std::int64_t height = 2 * half_height + 1;
    if (width > int_limit || height > int_limit)
        return std::nullopt;
    if (columns + 2 * width > int_limit || lines + 2 * height > int_limit)
        return std::nullopt;
    if (width * height > int_limit / values_per_window_pixel)
        return std::nullopt;
    return cv::Size(static_cast<int>(width), static_cast<int>(height));
}

void FlowPyramid::reserve(cv::Size frame, cv::Size window)
{
    const cv::Mat padded(frame.height + 2 * window.height, frame.width + 2 * window.width, CV_8UC1);
    levels_.assign(1, padded(cv::Rect(window.width, window.height, frame.width, frame.height)));
}

int FlowPyramid::build(const cv::Mat &frame, cv::Size window, int max_level)
{
    // The caller's frame is never a view into a padded buffer, so the base
    // level is always copied into the kept storage, never aliased.
    return cv::buildOpticalFlowPyramid(frame, levels_, window, max_level, false, level_border,
                                       cv::BORDER_CONSTANT, false);
}

void track_flow(const FlowSettings &settings, const FlowBuffers &buffers, FlowPyramid &pyramid_a,
                FlowPyramid &pyramid_b)
{
    CV_Assert(buffers.count >= 0);
    // With no points the library does nothing but drop its outputs.
    if (buffers.count == 0)
        return;

    const int max_level = std::clamp(settings.max_level, 0, flow_level_limit);
    const auto stride = static_cast<size_t>(settings.columns);
    // Headers over the caller's frames; the library only reads them.
    const cv::Mat frame_a(settings.lines, settings.columns, CV_8UC1,
                          const_cast<std::uint8_t *>(buffers.frame_a), stride);
    const cv::Mat frame_b(settings.lines, settings.columns, CV_8UC1,
                          const_cast<std::uint8_t *>(buffers.frame_b), stride);
    pyramid_a.build(frame_a, settings.window, max_level);
    pyramid_b.build(frame_b, settings.window, max_level);

    // Results are written in place: headers of exactly the size and type the
    // library asks for, passed const so that it may not reallocate them.
    const int count = buffers.count;
    const cv::Mat from(count, 1, CV_32FC2, const_cast<float *>(buffers.points_a));
    const cv::Mat to(count, 1, CV_32FC2, buffers.points_b);
    const cv::Mat found(count, 1, CV_8UC1, buffers.status);
    const cv::Mat residue =
        buffers.residue ? cv::Mat(count, 1, CV_32FC1, buffers.residue) : cv::Mat();
    const cv::TermCriteria stop(cv::TermCriteria::COUNT + cv::TermCriteria::EPS,
                                settings.iterations, settings.epsilon);

    cv::calcOpticalFlowPyrLK(pyramid_a.levels(), pyramid_b.levels(), from, to, found,
                             buffers.residue ? cv::_OutputArray(residue) : cv::_OutputArray(),
                             settings.window, max_level, stop, 0);

    CV_Assert(to.data == reinterpret_cast<uchar *>(buffers.points_b));
    CV_Assert(found.data == buffers.status);
    CV_Assert(!buffers.residue || residue.data == reinterpret_cast<uchar *>(buffers.residue));
}

} // namespace morvane
