// The sequence engine: one frame after another, every live track stepped and
// checked, ended tracks replaced by new corners, rows and ends for each frame.
#pragma once

#include "component_tracker.h"
#include "morvane_track.h"
#include "track_book.h"

#include <opencv2/core.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvane::track {

// Why settings cannot be used, or nothing when they can (the component judges
// its own properties when the first frame arrives).
std::optional<std::string> settings_fault(const morvane_track_settings &settings);

class Engine {
public:
    // Creates the component; nothing and why in `error` on failure.
    static std::unique_ptr<Engine> open(const morvane_track_settings &settings, std::string &error);

    // Tracks into grey (8-bit, any stride); a result code, and why in `error`.
    int push(const cv::Mat &grey, std::string &error);

    const std::vector<morvane_track_row> &rows() const { return rows_; }
    const std::vector<morvane_track_end> &ends() const { return ends_; }
    morvane_track_summary summary() const;

private:
    Engine(const morvane_track_settings &settings, std::unique_ptr<ComponentTracker> tracker);
    int start(const cv::Mat &grey, std::string &error);

    morvane_track_settings settings_;
    std::vector<cv::Point2f> given_; // start points of the caller's own; never topped up
    long max_features_;
    std::unique_ptr<ComponentTracker> tracker_;
    cv::Size frame_size_;
    cv::Size padded_;
    cv::Mat previous_; // the last frame, padded
    long frames_ = 0;
    TrackBook book_;
    std::vector<morvane_track_row> rows_;
    std::vector<morvane_track_end> ends_;
};

} // namespace morvane::track
