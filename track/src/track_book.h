// The tracks of a run: live tracks with their stable ids, the rows and ends each
// frame gives, and the counts a summary reports.
#pragma once

#include "morvane_track.h"
#include "track_step.h"

#include <opencv2/core.hpp>

#include <array>
#include <vector>

namespace morvane::track {

struct LiveTrack {
    long id = 0;
    long first_frame = 0;
    cv::Point2f point;
    cv::Mat start_patch; // where the track started, for the appearance check; empty when it is off
};

class TrackBook {
public:
    // Starts a track at each point in frame; appends their first rows. grey is
    // the frame itself, sampled for each track's start patch when keep_patches.
    void start(long frame, const std::vector<cv::Point2f> &points, const cv::Mat &grey, bool keep_patches,
               std::vector<morvane_track_row> &rows);

    // Applies one outcome per live track (in live order) for frame; ended
    // tracks leave with an end, the others append their rows.
    void advance(long frame, const std::vector<StepOutcome> &outcomes, std::vector<morvane_track_row> &rows,
                 std::vector<morvane_track_end> &ends);

    const std::vector<LiveTrack> &live() const { return live_; }
    std::vector<cv::Point2f> live_points() const;

    long started() const { return next_id_; }
    long ended(EndReason reason) const { return ended_[static_cast<std::size_t>(reason)]; }
    // Median length in frames over every track, ended or alive.
    double median_length() const;

private:
    std::vector<LiveTrack> live_;
    std::vector<long> lengths_of_ended_;
    std::array<long, end_reason_count> ended_{};
    long next_id_ = 0;
    long frame_ = 0; // the frame of the latest rows
};

} // namespace morvane::track
