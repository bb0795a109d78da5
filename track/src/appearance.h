// The appearance check: a track's patch now against the patch where it started,
// by normalised cross-correlation, which slow changes of gain and offset leave alone.
#pragma once

#include "track_book.h"

#include <opencv2/core.hpp>

#include <vector>

namespace morvane::track {

// Patches are this many pixels across, centred on the point.
inline constexpr int appearance_patch_side = 15;

// The patch of grey around p, sampled between pixels, in floating point.
cv::Mat appearance_patch(const cv::Mat &grey, cv::Point2f p);

// The correlation of two patches of the same size, in [-1, 1]; 0 when either is flat.
double patch_correlation(const cv::Mat &a, const cv::Mat &b);

// Ends, as changed in appearance, each track still alive in outcomes whose patch
// in grey correlates with its start patch less than `minimum`.
void check_appearance(const std::vector<LiveTrack> &tracks, const cv::Mat &grey, double minimum,
                      std::vector<StepOutcome> &outcomes);

} // namespace morvane::track
