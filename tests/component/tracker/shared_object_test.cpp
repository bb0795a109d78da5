// One tracker shared by several threads: each call must give what it gives
// when made alone, however the calls of the other threads fall around it.
#include "test_support.h"

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace morvane::test {
namespace {

constexpr int kThreads = 5;
constexpr int kRounds = 2000;

TEST(SharedTracker, ConcurrentCallsGiveTheirSerialResults)
{
    const Settings settings{96, 72, 3, 1, 10, 0.01f};
    const cv::Mat a = textured_frame(settings.columns, settings.lines);
    const cv::Mat b = textured_frame(settings.columns, settings.lines, 1.3, -0.6);
    const std::vector<cv::Point2f> points = grid_points(settings.columns, settings.lines, 16, 16);

    Tracker shared;
    configure(shared, settings);
    ASSERT_EQ(shared.put_max_features(static_cast<LONG>(points.size())), S_OK);
    ASSERT_EQ(shared.put_calc_match_residue(1), S_OK);
    ASSERT_EQ(shared.create_morvane(), S_OK);
    const TrackResult alone = track_direct(shared, a, b, points, false);
    ASSERT_EQ(alone.result, S_OK);

    // Two threads make the direct call, one the matrix call, one reads the
    // residues, and the last releases and rebuilds the buffers under their feet.
    std::latch start(kThreads);
    std::vector<std::string> faults(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                start.arrive_and_wait();
                for (int round = 0; round < kRounds; ++round) {
                    TrackResult got;
                    if (t <= 1) {
                        got = track_direct(shared, a, b, points, false);
                    } else if (t == 2) {
                        got = track_matrix(shared, a, b, points);
                        if (got.result == E_FAIL) // released at that moment
                            continue;
                    } else if (t == 3) {
                        OwnedVariant residue;
                        const HRESULT read = shared.get_match_residue(residue.get());
                        if (read != S_OK && read != E_FAIL)
                            faults[t] += "match_residue failed unexpectedly\n";
                        continue;
                    } else {
                        if (shared.destroy_morvane() != S_OK || shared.create_morvane() != S_OK)
                            faults[t] += "rebuilding the buffers failed\n";
                        continue;
                    }
                    if (got.result != S_OK || got.points != alone.points || got.status != alone.status)
                        faults[t] += "round " + std::to_string(round) + " differs from the call made alone\n";
                }
                clear_error_record();
            });
        }
    }
    for (const std::string &fault : faults)
        EXPECT_EQ(fault, "");
}

} // namespace
} // namespace morvane::test
