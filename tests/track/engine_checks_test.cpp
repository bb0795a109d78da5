// The engine's limits split tracks exactly where they say: every round trip or
// correlation is measured first, then a run with the limit must end exactly the
// tracks beyond it.
#include "engine_run.h"
#include "textured_frame.h"

#include <opencv2/imgproc.hpp>

#include <map>

namespace morvane::test {
namespace {

using EngineChecks = RegisteredEngine;

// Frame 1 blends the moved texture with another one, more so to the right:
// tracks there come back farther off and look less like their start.
std::vector<cv::Mat> blended_pair()
{
    const cv::Mat first = textured_frame(320, 240, 0.0, 0.0, 7);
    const cv::Mat moved = textured_frame(320, 240, 0.4, 0.3, 7);
    const cv::Mat other = textured_frame(320, 240, 0.0, 0.0, 99);
    cv::Mat second(first.size(), CV_8UC1);
    for (int y = 0; y < second.rows; ++y)
        for (int x = 0; x < second.cols; ++x) {
            const double w = 0.7 * x / second.cols;
            second.at<uchar>(y, x) = cv::saturate_cast<uchar>((1.0 - w) * moved.at<uchar>(y, x) + w * other.at<uchar>(y, x));
        }
    return {first, second};
}

// Frame 1's outcome of each track: its row, or how it ended.
struct Outcome {
    cv::Point2f start;
    std::optional<morvane_track_row> row;
    int reason = -1;
};

std::map<long, Outcome> second_frame(const std::vector<cv::Mat> &frames, const morvane_track_settings &settings)
{
    const EngineRun run = run_engine(frames, settings);
    EXPECT_EQ(run.result, MORVANE_TRACK_OK) << morvane_track_message();
    std::map<long, Outcome> outcomes;
    for (const morvane_track_row &row : run.measured)
        row.frame == 0 ? void(outcomes[row.track].start = {row.x, row.y}) : void(outcomes[row.track].row = row);
    for (const morvane_track_end &end : run.ends)
        outcomes[end.track].reason = end.reason;
    return outcomes;
}

morvane_track_settings measuring()
{
    morvane_track_settings settings;
    morvane_track_default_settings(&settings);
    settings.max_features = 300;
    settings.redetect = 0.0;
    settings.fb_max = 1e9;
    settings.appearance_check = 0;
    return settings;
}

TEST_F(EngineChecks, ForwardBackwardLimitEndsExactlyTheTracksBeyondIt)
{
    const auto frames = blended_pair();
    const auto measured = second_frame(frames, measuring());
    auto limited = measuring();
    limited.fb_max = 1.0;
    const auto outcomes = second_frame(frames, limited);
    int near_below = 0, near_above = 0; // tracks between half and one and a half times the limit
    for (const auto &[track, outcome] : measured) {
        if (!outcome.row || !outcome.row->has_fb_error)
            continue;
        const float error = outcome.row->fb_error;
        near_below += error >= 0.5f && error <= 1.0f;
        near_above += error > 1.0f && error <= 1.5f;
        const Outcome &now = outcomes.at(track);
        EXPECT_EQ(now.reason == MORVANE_TRACK_FORWARD_BACKWARD, error > 1.0f) << "track " << track << " came back " << error << " px off";
        EXPECT_EQ(now.row.has_value(), error <= 1.0f) << "track " << track;
    }
    EXPECT_GE(near_below, 3);
    EXPECT_GE(near_above, 3);
}

TEST_F(EngineChecks, AppearanceLimitEndsExactlyTheTracksBelowIt)
{
    const auto frames = blended_pair();
    const auto measured = second_frame(frames, measuring());
    auto checked = measuring();
    checked.appearance_check = 1;
    checked.appearance_min = 0.8;
    const auto outcomes = second_frame(frames, checked);
    // The correlation of 15 x 15 patches sampled between pixels, by OpenCV's own template match.
    const auto patch = [](const cv::Mat &grey, float x, float y) {
        cv::Mat sampled;
        cv::getRectSubPix(grey, cv::Size(15, 15), cv::Point2f(x, y), sampled, CV_32F);
        return sampled;
    };
    int near_below = 0, near_above = 0; // tracks up to 0.2 below or 0.15 above the limit
    for (const auto &[track, outcome] : measured) {
        if (!outcome.row)
            continue;
        cv::Mat score;
        cv::matchTemplate(patch(frames[1], outcome.row->x, outcome.row->y), patch(frames[0], outcome.start.x, outcome.start.y),
                          score, cv::TM_CCOEFF_NORMED);
        const double correlation = score.at<float>(0, 0);
        // Two computations of one figure: only a hair's breadth around the limit may go either way.
        if (std::abs(correlation - 0.8) < 1e-4)
            continue;
        near_below += correlation >= 0.6 && correlation < 0.8;
        near_above += correlation > 0.8 && correlation < 0.95;
        const Outcome &now = outcomes.at(track);
        EXPECT_EQ(now.reason == MORVANE_TRACK_APPEARANCE, correlation < 0.8) << "track " << track << " correlates " << correlation;
        EXPECT_EQ(now.row.has_value(), correlation > 0.8) << "track " << track;
    }
    EXPECT_GE(near_below, 3);
    EXPECT_GE(near_above, 3);
}

} // namespace
} // namespace morvane::test
