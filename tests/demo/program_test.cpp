// The trackdemo program itself, run without a display against the real component
// registered in a registry of the test's own: the complete run on the sample
// frames, and the failures only a real run meets (a component that is not
// registered, a file that is not a bitmap). The run's other failures are in the
// demonstration's table.
#include "child_process.h"
#include "scratch_registry.h"
#include "demonstration.h"
#include "sample_motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include <unistd.h>

namespace trackdemo::testing {
namespace {

using morvane::test::ChildResult;
using morvane::test::ChildRun;
using morvane::test::run_child;

namespace fs = std::filesystem;

// -1 as a process exit status.
constexpr int failed_status = 255;

struct TrackedPoint {
    int index;
    double x;
    double y;
    int status;
    double residue;
};

std::vector<TrackedPoint> tracked_points(const std::string &out)
{
    std::vector<TrackedPoint> points;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        TrackedPoint p{};
        if (std::sscanf(line.c_str(), "tracked point %d: x %lf y %lf status %d residue %lf", &p.index, &p.x, &p.y,
                        &p.status, &p.residue) == 5)
            points.push_back(p);
    }
    return points;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(work()); }

    fs::path work() const { return scratch_.folder() / "work"; }
    std::string registry() const { return scratch_.file().string(); }

    void register_module(const char *module)
    {
        const auto result = run_child({{REGSVR_PROGRAM, module}, "", {{"MORVANE_REGISTRY", registry()}}});
        ASSERT_EQ(result.exit_status, 0) << "regsvr " << module << ": " << result.out << result.err;
    }

    void copy_sample(const char *name, const char *as)
    {
        fs::copy_file(fs::path(TRACKDEMO_SAMPLES_DIR) / name, work() / as, fs::copy_options::overwrite_existing);
    }

    void copy_samples()
    {
        copy_sample(first_frame_file, first_frame_file);
        copy_sample(second_frame_file, second_frame_file);
    }

    // Runs trackdemo in the work folder, by default without a display.
    ChildResult run_trackdemo(std::optional<std::string> display = std::nullopt)
    {
        ChildRun run{{TRACKDEMO_PROGRAM}, work().string(), {}, std::chrono::seconds(60)};
        run.environment = {{"DISPLAY", display},
                           {"WAYLAND_DISPLAY", std::nullopt},
                           {"MORVANE_REGISTRY", registry()}};
        return run_child(run);
    }

    // A failed run: status -1, the one message, nothing tracked.
    void expect_failure(const ChildResult &result, const std::string &message)
    {
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.exit_status, failed_status) << result.err;
        EXPECT_EQ(result.err, "trackdemo: " + message + "\n");
        EXPECT_EQ(result.out, "");
    }

    morvane::test::ScratchRegistry scratch_;
};

TEST_F(Program, TracksTheSampleFramesToTheirKnownMotion)
{
    register_module(MORVANE_MODULE);
    copy_samples();
    const auto started = std::chrono::steady_clock::now();
    const auto result = run_trackdemo();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "nothing waits without a display";
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "trackdemo: Displaying tracked corners on images\ntrackdemo: Done\n");
    const auto points = tracked_points(result.out);
    ASSERT_EQ(points.size(), 6u) << result.out;
    for (const auto &p : points) {
        const auto i = static_cast<std::size_t>(p.index);
        EXPECT_EQ(p.status, 1) << "point " << i;
        EXPECT_NEAR(p.x, feature_table[2 * i] + samples::shift_x, 0.25) << "point " << i;
        EXPECT_NEAR(p.y, feature_table[2 * i + 1] + samples::shift_y, 0.25) << "point " << i;
        EXPECT_GE(p.residue, 0.0) << "point " << i;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(work()), fs::directory_iterator()), 2) << "the program writes no files";
}

TEST_F(Program, DisplayThatCannotBeOpenedMeansARunWithoutOne)
{
    register_module(MORVANE_MODULE);
    copy_samples();
    const auto result = run_trackdemo(":424242");
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_NE(result.err.find("trackdemo: Displaying tracked corners on images\ntrackdemo: Done\n"), std::string::npos)
        << result.err;
    EXPECT_EQ(tracked_points(result.out).size(), 6u);
}

TEST_F(Program, FramesOfAnOddWidthAreTrackedToo)
{
    register_module(MORVANE_MODULE);
    copy_samples();
    // The same frames cut to 263 x 217: rows no longer a multiple of 4 bytes.
    const auto result = run_child({{CROP_PROGRAM, (work() / first_frame_file).string(),
                                    (work() / second_frame_file).string(), "263", "217"},
                                   "",
                                   {}});
    ASSERT_EQ(result.exit_status, 0) << result.err;
    const auto run = run_trackdemo();
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const auto points = tracked_points(run.out);
    ASSERT_EQ(points.size(), 6u);
    for (const auto &p : points) {
        const auto i = static_cast<std::size_t>(p.index);
        EXPECT_NEAR(p.x, feature_table[2 * i] + samples::shift_x, 0.25) << "point " << i;
        EXPECT_NEAR(p.y, feature_table[2 * i + 1] + samples::shift_y, 0.25) << "point " << i;
    }
}

TEST_F(Program, UnregisteredComponentFailsBeforeAnyFrameIsRead)
{
    copy_samples();
    expect_failure(run_trackdemo(), "Unable to Create Object");
}

TEST_F(Program, FirstFrameThatIsNotABitmapFails)
{
    register_module(MORVANE_MODULE);
    copy_samples();
    fs::resize_file(work() / first_frame_file, 3000);
    expect_failure(run_trackdemo(), "Could not open image 1");
}

} // namespace
} // namespace trackdemo::testing
