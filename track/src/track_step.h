// One step of every live track from frame k to frame k+1, with its checks:
// found by the component, still on the frame, residue within the limit, and
// back in frame k near where it started.
#pragma once

#include "component_tracker.h"

#include <opencv2/core.hpp>

#include <optional>
#include <string>
#include <vector>

namespace morvane::track {

// In the order of the interface's MORVANE_TRACK_LOST and the reasons after it.
enum class EndReason { lost, forward_backward, residue, left_frame, appearance };
inline constexpr int end_reason_count = 5;

struct StepLimits {
    cv::Size frame;                     // without padding
    double fb_max = 1.0;                // 0: no forward-backward check
    std::optional<double> residue_max;  // none: no residue check
};

struct StepOutcome {
    std::optional<EndReason> ended; // nothing while the track lives on
    cv::Point2f point;
    float residue = 0.0f;
    std::optional<float> fb_error; // when the check ran
};

// Tracks points from frame `from` into frame `to` (both padded alike); one
// outcome per point, or nothing and the component's message on failure.
std::optional<std::vector<StepOutcome>> track_step(ComponentTracker &tracker, const cv::Mat &from, const cv::Mat &to,
                                                   const std::vector<cv::Point2f> &points, const StepLimits &limits,
                                                   std::string &error);

} // namespace morvane::track
