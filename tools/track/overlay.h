// The frames with each track's recent trail and current point drawn in a
// colour of its own, written as a video or as numbered images in a folder.
#pragma once

#include "track_book.h"

#include <opencv2/core.hpp>

#include <memory>
#include <string>

namespace morvane::track {

class OverlayWriter {
public:
    virtual ~OverlayWriter() = default;
    // Draws the live tracks on grey and writes it; false and why on failure.
    virtual bool write(const cv::Mat &grey, const TrackBook &tracks, std::string &error) = 0;
};

// A folder when target ends in '/', a video file otherwise (MJPG for .avi,
// MPEG-4 for other names); nothing and why when it cannot be opened.
std::unique_ptr<OverlayWriter> open_overlay(const std::string &target, cv::Size frame, double fps,
                                            std::string &error);

// The colour of a track: the same id always gives the same colour.
cv::Scalar track_colour(long id);

} // namespace morvane::track
