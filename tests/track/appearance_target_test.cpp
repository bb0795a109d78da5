// The appearance check on the drifting scene against the plain OpenCV loop run beside it:
// without the check the engine gives the loop's rows exactly, with it far fewer wrong rows.
#include "drifting_scene.h"
#include "engine_run.h"

#include <gtest/gtest.h>

#include <iostream>

namespace morvane::test {
namespace {

using DriftTarget = RegisteredEngine;

TEST_F(DriftTarget, AppearanceCheckEndsMostWrongTracksAndKeepsTheRest)
{
    const DriftingScene scene;
    std::vector<cv::Mat> frames;
    for (int k = 0; k < scene.frames; ++k)
        frames.push_back(scene.frame(k));
    morvane_track_settings settings;
    morvane_track_default_settings(&settings);
    settings.max_features = 300;
    const auto loop = run_opencv_loop(frames, settings);
    settings.appearance_check = 0;
    const auto plain = run_engine(frames, settings);
    settings.appearance_check = 1;
    const auto checked = run_engine(frames, settings);
    ASSERT_EQ(plain.result, MORVANE_TRACK_OK) << morvane_track_message();
    ASSERT_EQ(checked.result, MORVANE_TRACK_OK) << morvane_track_message();
    EXPECT_TRUE(plain.rows == loop) << plain.rows.size() << " rows against the loop's " << loop.size();

    const long loop_wrong = wrong_rows(scene, loop, 2.0);
    const long checked_wrong = wrong_rows(scene, checked.rows, 2.0);
    std::cout << "loop: " << loop.size() << " rows, " << loop_wrong << " wrong; appearance check: "
              << checked.rows.size() << " rows, " << checked_wrong << " wrong\n";
    EXPECT_GE(loop_wrong, 30); // the scene makes the faults it is meant to
    EXPECT_LE(3 * checked_wrong, loop_wrong);
    EXPECT_GE(static_cast<double>(checked.rows.size()), 0.97 * static_cast<double>(loop.size()));
}

} // namespace
} // namespace morvane::test
