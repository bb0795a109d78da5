// A scene under slow affine motion whose truth is known for every point, with an
// occluder of another texture sliding in halfway and the brightness drifting.
#pragma once

#include "opencv_track_loop.h"

#include <opencv2/core.hpp>

#include <vector>

namespace morvane::test {

struct DriftingScene {
    int columns = 320, lines = 240, frames = 48;
    cv::Point2d shift{0.31, 0.17}; // per frame, in pixels
    double turn_degrees = 0.06;    // per frame, about the centre
    double growth = 1.0006;        // scale per frame
    double dimming = 0.10;         // brightness lost over the run
    int occluder_start = 24;       // the frame where the occluder's edge enters
    double occluder_speed = 2.5;   // pixels per frame, from the right edge leftwards
    cv::Range occluder_lines{70, 170};

    // Where the scene point seen at pixel p of frame `from` lies in frame `to`.
    cv::Point2d carried(cv::Point2d p, int from, int to) const;
    // Whether pixel p of frame k lies on the occluder.
    bool occluded(cv::Point2d p, int k) const;
    cv::Mat frame(int k) const;
};

// Rows farther than `tolerance` from the truth or on the occluder: each track's
// truth follows from its first row.
long wrong_rows(const DriftingScene &scene, const std::vector<SceneRow> &rows, double tolerance);

} // namespace morvane::test
