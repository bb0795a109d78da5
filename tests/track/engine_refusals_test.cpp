// Every refusal of the C interface, with its result code and message, and the
// boundary values that are still taken.
#include "engine_run.h"
#include "scratch_folder.h"
#include "textured_frame.h"

#include <opencv2/imgcodecs.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <string>

namespace morvane::test {
namespace {

using EngineRefusals = RegisteredEngine;

TEST_F(EngineRefusals, SettingsOutsideTheirRangesAreRefusedAndTheirBoundsTaken)
{
    const float finite[] = {10.0f, 20.0f}, infinite[] = {10.0f, INFINITY};
    const struct {
        std::function<void(morvane_track_settings &)> change;
        const char *message; // nullptr: taken
    } cases[] = {
        {[](auto &s) { s.max_features = 0; }, "max_features must be positive, not 0"},
        {[](auto &s) { s.max_features = 1; }, nullptr},
        {[](auto &s) { s.quality = 0.0; }, "quality must lie in (0, 1], not 0"},
        {[](auto &s) { s.quality = 1.0; }, nullptr},
        {[](auto &s) { s.quality = 1.01; }, "quality must lie in (0, 1], not 1.01"},
        {[](auto &s) { s.min_distance = -0.5; }, "min_distance must lie in [0, 1e6], not -0.5"},
        {[](auto &s) { s.min_distance = 0.0; }, nullptr},
        {[](auto &s) { s.min_distance = 1e6 + 1; }, "min_distance must lie in [0, 1e6], not 1e+06"},
        {[](auto &s) { s.redetect = -0.1; }, "redetect must lie in [0, 1], not -0.1"},
        {[](auto &s) { s.redetect = 1.0; }, nullptr},
        {[](auto &s) { s.redetect = 1.1; }, "redetect must lie in [0, 1], not 1.1"},
        {[](auto &s) { s.fb_max = -1.0; }, "fb_max must be at least 0, not -1"},
        {[](auto &s) { s.fb_max = NAN; }, "fb_max must be at least 0, not nan"},
        {[](auto &s) { s.fb_max = 0.0; }, nullptr},
        {[](auto &s) { s.residue_max = -3.0; }, "residue_max must be at least 0, not -3"},
        {[](auto &s) { s.residue_max = 0.0; }, nullptr},
        {[](auto &s) { s.appearance_min = -1.5; }, "appearance_min must lie in [-1, 1], not -1.5"},
        {[](auto &s) { s.appearance_min = -1.0; }, nullptr},
        {[](auto &s) { s.appearance_min = 1.0; }, nullptr},
        {[](auto &s) { s.appearance_min = 1.5; }, "appearance_min must lie in [-1, 1], not 1.5"},
        {[](auto &s) { s.appearance_check = 2; }, "appearance_check must be 0 or 1, not 2"},
        {[](auto &s) { s.point_count = 1; }, "points are missing for point_count 1"},
        {[&](auto &s) { s.points = finite, s.point_count = 1; }, nullptr},
        {[&](auto &s) { s.points = infinite, s.point_count = 1; }, "point 0 is not finite"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message ? c.message : "taken");
        morvane_track_settings settings;
        morvane_track_default_settings(&settings);
        c.change(settings);
        morvane_track_engine *engine = nullptr;
        const int result = morvane_track_open(&settings, &engine);
        EXPECT_EQ(result, c.message ? MORVANE_TRACK_INVALID : MORVANE_TRACK_OK);
        EXPECT_EQ(engine != nullptr, c.message == nullptr);
        if (c.message) {
            EXPECT_STREQ(morvane_track_message(), c.message);
        }
        morvane_track_close(engine);
    }
}

TEST(PaddedSize, RoundsUpToThePyramidsMultipleWithinItsBounds)
{
    const struct {
        int width, height, levels, result, padded_width, padded_height;
    } cases[] = {
        {198, 146, 3, MORVANE_TRACK_OK, 200, 152},
        {200, 152, 3, MORVANE_TRACK_OK, 200, 152},
        {1, 1, 0, MORVANE_TRACK_OK, 1, 1},
        {1, 1, 30, MORVANE_TRACK_OK, 1 << 30, 1 << 30},
        {1 << 30, 5, 30, MORVANE_TRACK_OK, 1 << 30, 1 << 30},
        {(1 << 30) + 1, 5, 30, MORVANE_TRACK_INVALID, -1, -1},
        {198, 146, 31, MORVANE_TRACK_INVALID, -1, -1},
        {198, 146, -1, MORVANE_TRACK_INVALID, -1, -1},
        {0, 146, 3, MORVANE_TRACK_INVALID, -1, -1},
        {198, 0, 3, MORVANE_TRACK_INVALID, -1, -1},
    };
    for (const auto &c : cases) {
        int width = -1, height = -1;
        EXPECT_EQ(morvane_track_padded_size(c.width, c.height, c.levels, &width, &height), c.result)
            << c.width << "x" << c.height << " at " << c.levels;
        EXPECT_EQ(std::pair(width, height), std::pair(c.padded_width, c.padded_height));
    }
    EXPECT_EQ(morvane_track_padded_size(198, 146, 3, nullptr, nullptr), MORVANE_TRACK_INVALID);
}

TEST_F(EngineRefusals, FramesAndPlacesThatCannotBeAreRefused)
{
    const cv::Mat frame = textured_frame(64, 48);
    morvane_track_settings settings;
    morvane_track_default_settings(&settings);
    morvane_track_engine *engine = nullptr;
    EXPECT_EQ(morvane_track_open(nullptr, &engine), MORVANE_TRACK_INVALID);
    EXPECT_EQ(morvane_track_open(&settings, nullptr), MORVANE_TRACK_INVALID);
    ASSERT_EQ(morvane_track_open(&settings, &engine), MORVANE_TRACK_OK);
    const struct {
        const unsigned char *pixels;
        int width, height;
        ptrdiff_t stride;
        int result;
        const char *message;
    } pushes[] = {
        {nullptr, 64, 48, 64, MORVANE_TRACK_INVALID, "no engine or no pixels"},
        {frame.data, 0, 48, 64, MORVANE_TRACK_INVALID, "a frame of 0x48 with rows 64 bytes apart"},
        {frame.data, 64, 0, 64, MORVANE_TRACK_INVALID, "a frame of 64x0 with rows 64 bytes apart"},
        {frame.data, 64, 48, 63, MORVANE_TRACK_INVALID, "a frame of 64x48 with rows 63 bytes apart"},
        {frame.data, 64, 48, 64, MORVANE_TRACK_OK, ""},
        {frame.data, 63, 48, 64, MORVANE_TRACK_FRAME_SIZE, "frame 1 is 63x48, not 64x48 as the first frame"},
        {frame.data, 64, 47, 64, MORVANE_TRACK_FRAME_SIZE, "frame 1 is 64x47, not 64x48 as the first frame"},
        {frame.data, 64, 48, 64, MORVANE_TRACK_OK, ""},
    };
    for (const auto &push : pushes) {
        SCOPED_TRACE(push.message);
        EXPECT_EQ(morvane_track_push(engine, push.pixels, push.width, push.height, push.stride), push.result);
        if (push.result != MORVANE_TRACK_OK) {
            EXPECT_STREQ(morvane_track_message(), push.message);
        }
    }
    morvane_track_summary summary{};
    ASSERT_EQ(morvane_track_get_summary(engine, &summary), MORVANE_TRACK_OK);
    EXPECT_EQ(summary.frames, 2);
    const morvane_track_row *rows = nullptr;
    const morvane_track_end *ends = nullptr;
    std::size_t count = 0;
    EXPECT_EQ(morvane_track_rows(nullptr, &rows, &count), MORVANE_TRACK_INVALID);
    EXPECT_EQ(morvane_track_rows(engine, nullptr, &count), MORVANE_TRACK_INVALID);
    EXPECT_EQ(morvane_track_ends(engine, &ends, nullptr), MORVANE_TRACK_INVALID);
    EXPECT_EQ(morvane_track_get_summary(engine, nullptr), MORVANE_TRACK_INVALID);
    morvane_track_close(engine);
}

TEST_F(EngineRefusals, ComponentRefusalsComeWithItsMessage)
{
    const cv::Mat frame = textured_frame(64, 48);
    morvane_track_settings settings;
    morvane_track_default_settings(&settings);
    settings.iterations = 0;
    morvane_track_engine *engine = nullptr;
    ASSERT_EQ(morvane_track_open(&settings, &engine), MORVANE_TRACK_OK);
    EXPECT_EQ(morvane_track_push(engine, frame.data, 64, 48, 64), MORVANE_TRACK_COMPONENT);
    EXPECT_STREQ(morvane_track_message(),
                 "the component refused stop_iterations = 0: Number of iterations must be a positive integer");
    morvane_track_close(engine);
}

// A source gives its frames in order, then the end again and again; a missing
// input, a bad frame and a wake-up while waiting on a pipe come back as codes.
TEST(FrameSource, GivesFramesThenTheEndAndRefusesWhatCannotBeRead)
{
    const test_support::ScratchFolder scratch;
    const std::string folder = scratch.path().string();
    for (int i = 0; i < 2; ++i)
        cv::imwrite(folder + "/frame" + std::to_string(i) + ".png", textured_frame(64, 48, i, 0.0));
    morvane_track_source *source = nullptr;
    EXPECT_EQ(morvane_track_source_open((folder + "/none").c_str(), -1, &source), MORVANE_TRACK_READ);
    EXPECT_STREQ(morvane_track_message(), "no such file or folder");
    EXPECT_EQ(morvane_track_source_open(nullptr, -1, &source), MORVANE_TRACK_INVALID);
    ASSERT_EQ(morvane_track_source_open((folder + "/frame%d.png").c_str(), -1, &source), MORVANE_TRACK_OK);
    EXPECT_EQ(morvane_track_source_frame_count(source), 2);
    EXPECT_STREQ(morvane_track_source_overwritten(source, (folder + "/./frame1.png").c_str(), 0),
                 (folder + "/frame1.png").c_str());
    EXPECT_STREQ(morvane_track_source_overwritten(source, (folder + "/").c_str(), 1), (folder + "/frame0.png").c_str());
    EXPECT_EQ(morvane_track_source_overwritten(source, (folder + "/").c_str(), 0), nullptr);
    EXPECT_EQ(morvane_track_source_overwritten(source, (folder + "/new.csv").c_str(), 0), nullptr);
    const unsigned char *pixels = nullptr;
    int width = 0, height = 0;
    ptrdiff_t stride = 0;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(morvane_track_source_next(source, &pixels, &width, &height, &stride), MORVANE_TRACK_OK);
        const cv::Mat expected = textured_frame(64, 48, i, 0.0);
        EXPECT_EQ(cv::norm(cv::Mat(height, width, CV_8UC1, const_cast<unsigned char *>(pixels), stride), expected, cv::NORM_INF), 0.0);
    }
    for (int again = 0; again < 2; ++again)
        EXPECT_EQ(morvane_track_source_next(source, &pixels, &width, &height, &stride), MORVANE_TRACK_END);
    EXPECT_EQ(morvane_track_source_next(source, nullptr, &width, &height, &stride), MORVANE_TRACK_INVALID);
    morvane_track_source_close(source);

    // Frame 1 a damaged file, then a pipe nobody writes whose wait a readable descriptor ends.
    std::ofstream(folder + "/frame1.png") << "not a picture";
    ASSERT_EQ(morvane_track_source_open(folder.c_str(), -1, &source), MORVANE_TRACK_OK);
    EXPECT_EQ(morvane_track_source_next(source, &pixels, &width, &height, &stride), MORVANE_TRACK_OK);
    EXPECT_EQ(morvane_track_source_next(source, &pixels, &width, &height, &stride), MORVANE_TRACK_READ);
    EXPECT_STREQ(morvane_track_message(), "not an image that can be decoded");
    EXPECT_EQ(morvane_track_source_frame_name(source), folder + "/frame1.png");
    morvane_track_source_close(source);
    std::filesystem::remove(folder + "/frame1.png");
    ASSERT_EQ(mkfifo((folder + "/frame1.png").c_str(), 0600), 0);
    int wake[2];
    ASSERT_EQ(pipe(wake), 0);
    ASSERT_EQ(morvane_track_source_open(folder.c_str(), wake[0], &source), MORVANE_TRACK_OK);
    EXPECT_EQ(morvane_track_source_next(source, &pixels, &width, &height, &stride), MORVANE_TRACK_OK);
    ASSERT_EQ(write(wake[1], "x", 1), 1);
    EXPECT_EQ(morvane_track_source_next(source, &pixels, &width, &height, &stride), MORVANE_TRACK_WOKEN);
    morvane_track_source_close(source);
    // Closed while its thread waits on the pipe: the close ends the wait.
    ASSERT_EQ(morvane_track_source_open(folder.c_str(), -1, &source), MORVANE_TRACK_OK);
    EXPECT_EQ(morvane_track_source_next(source, &pixels, &width, &height, &stride), MORVANE_TRACK_OK);
    morvane_track_source_close(source);
    close(wake[0]);
    close(wake[1]);
}

} // namespace
} // namespace morvane::test
