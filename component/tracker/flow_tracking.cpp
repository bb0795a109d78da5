// Lucas–Kanade tracking over caller memory: window checks, pyramids kept between runs, and the
// library call itself.
#include "flow_tracking.h"

#include <opencv2/video/tracking.hpp>

#include <algorithm>
#include <cstring>
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
    built_ = false;
    const cv::Mat padded(frame.height + 2 * window.height, frame.width + 2 * window.width, CV_8UC1);
    levels_.assign(1, padded(cv::Rect(window.width, window.height, frame.width, frame.height)));
}

bool FlowPyramid::holds(const cv::Mat &frame, cv::Size window, int max_level) const
{
    if (!built_ || window != window_ || max_level != max_level_ || levels_.empty())
        return false;
    const cv::Mat &base = levels_.front();
    if (base.size() != frame.size() || base.type() != frame.type())
        return false;
    const auto row_bytes = static_cast<size_t>(frame.cols) * frame.elemSize();
    for (int row = 0; row < frame.rows; ++row) {
        if (std::memcmp(base.ptr(row), frame.ptr(row), row_bytes) != 0)
            return false;
    }
    return true;
}

void FlowPyramid::build(const cv::Mat &frame, cv::Size window, int max_level)
{
    built_ = false;
    // The caller's frame is never a view into a padded buffer, so the base
    // level is always copied into the kept storage, never aliased. Gradients
    // get the constant border the tracking call gives the ones it makes itself,
    // so that results match a call that builds everything afresh.
    cv::buildOpticalFlowPyramid(frame, levels_, window, max_level, true, level_border,
                                cv::BORDER_CONSTANT, false);
    window_ = window;
    max_level_ = max_level;
    built_ = true;
}

namespace {

// The kept pyramid that holds frame, other than the one excluded.
FlowPyramid *holding(const cv::Mat &frame, const FlowSettings &settings, int max_level,
                     FlowPyramid &first, FlowPyramid &second, const FlowPyramid *excluded)
{
    for (FlowPyramid *pyramid : {&first, &second}) {
        if (pyramid != excluded && pyramid->holds(frame, settings.window, max_level))
            return pyramid;
    }
    return nullptr;
}

} // namespace

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
    FlowPyramid *for_a = holding(frame_a, settings, max_level, pyramid_a, pyramid_b, nullptr);
    FlowPyramid *for_b = holding(frame_b, settings, max_level, pyramid_a, pyramid_b, for_a);
    if (!for_a) {
        for_a = for_b == &pyramid_a ? &pyramid_b : &pyramid_a;
        for_a->build(frame_a, settings.window, max_level);
    }
    if (!for_b) {
        for_b = for_a == &pyramid_a ? &pyramid_b : &pyramid_a;
        for_b->build(frame_b, settings.window, max_level);
    }

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

    cv::calcOpticalFlowPyrLK(for_a->levels(), for_b->levels(), from, to, found,
                             buffers.residue ? cv::_OutputArray(residue) : cv::_OutputArray(),
                             settings.window, max_level, stop, 0);

    CV_Assert(to.data == reinterpret_cast<uchar *>(buffers.points_b));
    CV_Assert(found.data == buffers.status);
    CV_Assert(!buffers.residue || residue.data == reinterpret_cast<uchar *>(buffers.residue));
}

} // namespace morvane
