// The plain OpenCV loop that the sequence engine is measured against: Shi–Tomasi
// corners, forward and backward pyramidal Lucas–Kanade with the forward-backward
// limit, re-detection away from live tracks; no appearance check.
#pragma once

#include <morvane_track.h>

#include <opencv2/core.hpp>

#include <functional>
#include <vector>

namespace morvane::test {

// One row of a track: its id, frame and point.
struct SceneRow {
    long track;
    long frame;
    cv::Point2f point;
    bool operator==(const SceneRow &) const = default;
};

// Runs the loop with the engine's settings over the frames that next gives
// (false after the last); every row of every frame, in order.
std::vector<SceneRow> run_opencv_loop(const std::function<bool(cv::Mat &)> &next,
                                      const morvane_track_settings &settings);

// The same over frames in memory.
std::vector<SceneRow> run_opencv_loop(const std::vector<cv::Mat> &frames, const morvane_track_settings &settings);

} // namespace morvane::test
