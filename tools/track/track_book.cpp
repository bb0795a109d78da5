#include "track_book.h"

#include <algorithm>

namespace morvane::track {

void TrackBook::start(long frame, const std::vector<cv::Point2f> &points, std::vector<TrackRow> &rows)
{
    frame_ = frame;
    for (const cv::Point2f &p : points) {
        live_.push_back(LiveTrack{next_id_, frame, {p}});
        rows.push_back(TrackRow{frame, next_id_, p, std::nullopt, std::nullopt});
        ++next_id_;
    }
}

void TrackBook::advance(long frame, const std::vector<StepOutcome> &outcomes, std::vector<TrackRow> &rows)
{
    frame_ = frame;
    std::vector<LiveTrack> alive;
    alive.reserve(live_.size());
    for (std::size_t i = 0; i < live_.size() && i < outcomes.size(); ++i) {
        LiveTrack &track = live_[i];
        const StepOutcome &outcome = outcomes[i];
        if (outcome.ended) {
            ++ended_[static_cast<std::size_t>(*outcome.ended)];
            lengths_of_ended_.push_back(frame - track.first_frame);
            continue;
        }
        track.trail.push_back(outcome.point);
        if (track.trail.size() > trail_length_)
            track.trail.pop_front();
        rows.push_back(TrackRow{frame, track.id, outcome.point, outcome.residue, outcome.fb_error});
        alive.push_back(std::move(track));
    }
    live_ = std::move(alive);
}

std::vector<cv::Point2f> TrackBook::live_points() const
{
    std::vector<cv::Point2f> points;
    points.reserve(live_.size());
    for (const LiveTrack &track : live_)
        points.push_back(track.trail.back());
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
