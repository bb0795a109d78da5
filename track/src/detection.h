// Shi–Tomasi corners to start tracks on, away from the tracks already alive.
#pragma once

#include <opencv2/core.hpp>

#include <vector>

namespace morvane::track {

struct DetectionSettings {
    double quality = 0.01;      // relative to the best corner of the frame
    double min_distance = 10.0; // between corners, and from live tracks
};

// Up to `wanted` corners of grey (the frame without padding), each at least
// the minimum distance from every point of `live`, best first.
std::vector<cv::Point2f> detect_corners(const cv::Mat &grey, int wanted, const DetectionSettings &settings,
                                        const std::vector<cv::Point2f> &live);

} // namespace morvane::track
