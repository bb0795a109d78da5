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

    void copy_samples()
    {
        for (const char *name : {first_frame_file, second_frame_file})
            fs::copy_file(fs::path(TRACKDEMO_SAMPLES_DIR) / name, work() / name, fs::copy_options::overwrite_existing);
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

    morvane::test::ScratchRegistry scratch_;
};

// The sample frames, the same frames cut to 263 x 217 (rows no longer a multiple
// of 4 bytes), and a display that cannot be opened: each tracks to the known motion.
TEST_F(Program, TracksTheSampleFramesToTheirKnownMotion)
{
    register_module(MORVANE_MODULE);
    const struct {
        const char *what;
        bool cropped;
        std::optional<std::string> display;
    } runs[] = {{"samples", false, std::nullopt}, {"cropped", true, std::nullopt}, {"no display", false, ":424242"}};
    for (const auto &run : runs) {
        SCOPED_TRACE(run.what);
        copy_samples();
        if (run.cropped) {
            const auto crop = run_child({{CROP_PROGRAM, (work() / first_frame_file).string(),
                                          (work() / second_frame_file).string(), "263", "217"}, "", {}});
            ASSERT_EQ(crop.exit_status, 0) << crop.err;
        }
        const auto result = run_trackdemo(run.display);
        ASSERT_EQ(result.exit_status, 0) << result.err;
        EXPECT_NE(result.err.find("trackdemo: Displaying tracked corners on images\ntrackdemo: Done\n"),
                  std::string::npos)
            << result.err;
        const auto points = tracked_points(result.out);
        ASSERT_EQ(points.size(), 6u) << result.out;
        for (const auto &p : points) {
            const auto i = static_cast<std::size_t>(p.index);
            EXPECT_EQ(p.status, 1) << "point " << i;
            EXPECT_NEAR(p.x, feature_table[2 * i] + samples::shift_x, 0.25) << "point " << i;
            EXPECT_NEAR(p.y, feature_table[2 * i + 1] + samples::shift_y, 0.25) << "point " << i;
            EXPECT_GE(p.residue, 0.0) << "point " << i;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(work()), fs::directory_iterator()), 2)
            << "the program writes no files";
    }
}

// The failures only a real run meets: status -1, the one message, nothing tracked.
TEST_F(Program, UnregisteredComponentAndAFileThatIsNotABitmapFail)
{
    copy_samples();
    const auto unregistered = run_trackdemo();
    EXPECT_EQ(unregistered.exit_status, failed_status);
    EXPECT_EQ(unregistered.err, "trackdemo: Unable to Create Object\n");
    EXPECT_EQ(unregistered.out, "");

    register_module(MORVANE_MODULE);
    fs::resize_file(work() / first_frame_file, 3000);
    const auto not_a_bitmap = run_trackdemo();
    EXPECT_EQ(not_a_bitmap.exit_status, failed_status);
    EXPECT_EQ(not_a_bitmap.err, "trackdemo: Could not open image 1\n");
    EXPECT_EQ(not_a_bitmap.out, "");
}

} // namespace
} // namespace trackdemo::testing
