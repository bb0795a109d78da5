// The tracks of a run: live tracks with their stable ids and recent trails,
// the rows each frame gives, and the counts the summary reports.
#pragma once

#include "track_step.h"

#include <opencv2/core.hpp>

#include <array>
#include <deque>
#include <optional>
#include <vector>

namespace morvane::track {

// One output row: a live track's point in a frame.
struct TrackRow {
    long frame = 0;
    long track = 0;
    cv::Point2f point;
    std::optional<float> residue;  // none in the frame where the track starts
    std::optional<float> fb_error; // none there, and when the check is off
};

struct LiveTrack {
    long id = 0;
    long first_frame = 0;
    std::deque<cv::Point2f> trail; // the most recent points, the current last
};

class TrackBook {
public:
    explicit TrackBook(std::size_t trail_length = 20) : trail_length_(trail_length) {}

    // Starts a track at each point in frame; appends their first rows.
    void start(long frame, const std::vector<cv::Point2f> &points, std::vector<TrackRow> &rows);

    // Applies one outcome per live track (in live order) for frame; ended
    // tracks leave, the others append their rows.
    void advance(long frame, const std::vector<StepOutcome> &outcomes, std::vector<TrackRow> &rows);

    const std::vector<LiveTrack> &live() const { return live_; }
    std::vector<cv::Point2f> live_points() const;

    long started() const { return next_id_; }
    long ended(EndReason reason) const { return ended_[static_cast<std::size_t>(reason)]; }
    // Median length in frames over every track, ended or alive.
    double median_length() const;

private:
    std::size_t trail_length_;
    std::vector<LiveTrack> live_;
    std::vector<long> lengths_of_ended_;
    std::array<long, end_reason_count> ended_{};
    long next_id_ = 0;
    long frame_ = 0; // the frame of the latest rows
};

} // namespace morvane::track
