// A step forward, the checks on where each point arrived, and the round trip back.
#include "track_step.h"
#include "padding.h"

#include <cmath>

namespace morvane::track {

std::optional<std::vector<StepOutcome>> track_step(ComponentTracker &tracker, const cv::Mat &from, const cv::Mat &to,
                                                   const std::vector<cv::Point2f> &points, const StepLimits &limits,
                                                   std::string &error)
{
    std::vector<cv::Point2f> found;
    std::vector<unsigned char> status;
    std::vector<float> residue;
    if (!tracker.track(from, to, points, found, status, &residue, error))
        return std::nullopt;

    std::vector<StepOutcome> outcomes(points.size());
    std::vector<cv::Point2f> checked;  // found points that go back for the round trip
    std::vector<std::size_t> checked_at;
    for (std::size_t i = 0; i < points.size(); ++i) {
        StepOutcome &outcome = outcomes[i];
        outcome.point = found[i];
        outcome.residue = residue[i];
        // A point in the padding or beyond has left, found or not: the
        // padding is not part of the scene.
        if (!inside_frame(found[i], limits.frame))
            outcome.ended = EndReason::left_frame;
        else if (status[i] == 0)
            outcome.ended = EndReason::lost;
        else if (limits.residue_max && !(residue[i] <= *limits.residue_max))
            outcome.ended = EndReason::residue;
        else if (limits.fb_max > 0.0) {
            checked.push_back(found[i]);
            checked_at.push_back(i);
        }
    }
    if (checked.empty())
        return outcomes;

    std::vector<cv::Point2f> back;
    std::vector<unsigned char> back_status;
    if (!tracker.track(to, from, checked, back, back_status, nullptr, error))
        return std::nullopt;
    for (std::size_t j = 0; j < checked.size(); ++j) {
        StepOutcome &outcome = outcomes[checked_at[j]];
        const cv::Point2f miss = back[j] - points[checked_at[j]];
        const float distance = std::hypot(miss.x, miss.y);
        if (back_status[j] != 0 && std::isfinite(distance))
            outcome.fb_error = distance;
        if (back_status[j] == 0 || !(distance <= limits.fb_max))
            outcome.ended = EndReason::forward_backward;
    }
    return outcomes;
}

} // namespace morvane::track
