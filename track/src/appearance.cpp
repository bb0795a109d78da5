// Patches sampled with sub-pixel interpolation, compared after removing their means.
#include "appearance.h"

#include <morvane_assert.h>

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace morvane::track {

cv::Mat appearance_patch(const cv::Mat &grey, cv::Point2f p)
{
    cv::Mat patch;
    cv::getRectSubPix(grey, cv::Size(appearance_patch_side, appearance_patch_side), p, patch, CV_32F);
    return patch;
}

double patch_correlation(const cv::Mat &a, const cv::Mat &b)
{
    cv::Scalar mean_a, deviation_a, mean_b, deviation_b;
    cv::meanStdDev(a, mean_a, deviation_a);
    cv::meanStdDev(b, mean_b, deviation_b);
    const double spread = deviation_a[0] * deviation_b[0];
    // A flat patch has no texture to compare: it matches nothing.
    if (!(spread > 1e-6))
        return 0.0;
    cv::Mat centred_a, centred_b;
    cv::subtract(a, mean_a, centred_a);
    cv::subtract(b, mean_b, centred_b);
    return centred_a.dot(centred_b) / (static_cast<double>(a.total()) * spread);
}

void check_appearance(const std::vector<LiveTrack> &tracks, const cv::Mat &grey, double minimum,
                      std::vector<StepOutcome> &outcomes)
{
    MORVANE_ASSERT(tracks.size() == outcomes.size());
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        StepOutcome &outcome = outcomes[i];
        if (!outcome.ended && !(patch_correlation(tracks[i].start_patch, appearance_patch(grey, outcome.point)) >= minimum))
            outcome.ended = EndReason::appearance;
    }
}

} // namespace morvane::track
