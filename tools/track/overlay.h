// The frames with each track's recent trail and current point drawn in a
// colour of its own, written as a video or as numbered images in a folder.
#pragma once

#include <morvane_track.h>

#include <opencv2/core.hpp>

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <string>

namespace morvane::track {

// The recent points of every live track, by id, the current last.
class Trails {
public:
    explicit Trails(std::size_t length = 20) : length_(length) {}
    // Takes a frame's rows: their tracks go on, every other track has ended.
    void update(const morvane_track_row *rows, std::size_t count);
    const std::map<long, std::deque<cv::Point2f>> &live() const { return trails_; }

private:
    std::size_t length_;
    std::map<long, std::deque<cv::Point2f>> trails_;
};

class OverlayWriter {
public:
    virtual ~OverlayWriter() = default;
    // Draws the trails on grey and writes it; false and why on failure.
    virtual bool write(const cv::Mat &grey, const Trails &trails, std::string &error) = 0;
};

// A folder when target ends in '/', a video file otherwise (MJPG for .avi,
// MPEG-4 for other names); nothing and why when it cannot be opened.
std::unique_ptr<OverlayWriter> open_overlay(const std::string &target, cv::Size frame, double fps,
                                            std::string &error);

// The colour of a track: the same id always gives the same colour.
cv::Scalar track_colour(long id);

} // namespace morvane::track
