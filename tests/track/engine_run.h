// The engine run through its C interface over frames in memory, giving rows as
// the OpenCV loop does, and the fixture of tests that create engines.
#pragma once

#include "drifting_scene.h"
#include "opencv_track_loop.h"
#include "registered_module.h"

#include <gtest/gtest.h>

#include <morvane_track.h>

#include <opencv2/core.hpp>

#include <vector>

namespace morvane::test {

struct EngineRun {
    int result = MORVANE_TRACK_OK; // of the first call that failed
    std::vector<SceneRow> rows;
    std::vector<morvane_track_row> measured; // the same rows with their measures
    std::vector<morvane_track_end> ends;
};

EngineRun run_engine(const std::vector<cv::Mat> &frames, const morvane_track_settings &settings);

// Tests whose engines create the component registered in a scratch registry.
class RegisteredEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module_ = new RegisteredModule(MORVANE_MODULE_PATH); }
    static void TearDownTestSuite() { delete module_; }
    void SetUp() override { ASSERT_EQ(module_->registration(), S_OK); }
    static inline RegisteredModule *module_ = nullptr;
};

} // namespace morvane::test
