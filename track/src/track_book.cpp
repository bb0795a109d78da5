// Track ids, rows and ends: the bookkeeping of a run, apart from the tracking itself.
#include "track_book.h"
#include "appearance.h"

#include <morvane_assert.h>

#include <algorithm>

namespace morvane::track {

void TrackBook::start(long frame, const std::vector<cv::Point2f> &points, const cv::Mat &grey, bool keep_patches,
                      std::vector<morvane_track_row> &rows)
{
    frame_ = frame;
    for (const cv::Point2f &p : points) {
        live_.push_back(LiveTrack{next_id_, frame, p, keep_patches ? appearance_patch(grey, p) : cv::Mat()});
        rows.push_back(morvane_track_row{frame, next_id_, p.x, p.y, 0.0f, 0.0f, 0, 0});
        ++next_id_;
    }
}

void TrackBook::advance(long frame, const std::vector<StepOutcome> &outcomes, std::vector<morvane_track_row> &rows,
                        std::vector<morvane_track_end> &ends)
{
    MORVANE_ASSERT(outcomes.size() == live_.size());
    frame_ = frame;
    std::vector<LiveTrack> alive;
    alive.reserve(live_.size());
    for (std::size_t i = 0; i < live_.size(); ++i) {
        LiveTrack &track = live_[i];
        const StepOutcome &outcome = outcomes[i];
        if (outcome.ended) {
            ++ended_[static_cast<std::size_t>(*outcome.ended)];
            lengths_of_ended_.push_back(frame - track.first_frame);
            ends.push_back(morvane_track_end{frame, track.id, track.first_frame, static_cast<int>(*outcome.ended)});
            continue;
        }
        track.point = outcome.point;
        rows.push_back(morvane_track_row{frame, track.id, outcome.point.x, outcome.point.y, outcome.residue,
                                         outcome.fb_error.value_or(0.0f), 1,
                                         static_cast<unsigned char>(outcome.fb_error.has_value())});
        alive.push_back(std::move(track));
    }
    live_ = std::move(alive);
}

std::vector<cv::Point2f> TrackBook::live_points() const
{
    std::vector<cv::Point2f> points;
    points.reserve(live_.size());
    for (const LiveTrack &track : live_)
        points.push_back(track.point);
    return points;
}

double TrackBook::median_length() const
{
    std::vector<long> lengths = lengths_of_ended_;
    for (const LiveTrack &track : live_)
        lengths.push_back(frame_ - track.first_frame + 1);
    if (lengths.empty())
        return 0.0;
    std::sort(lengths.begin(), lengths.end());
    const std::size_t middle = lengths.size() / 2;
    if (lengths.size() % 2 == 1)
        return static_cast<double>(lengths[middle]);
    return (static_cast<double>(lengths[middle - 1]) + static_cast<double>(lengths[middle])) / 2.0;
}

} // namespace morvane::track
