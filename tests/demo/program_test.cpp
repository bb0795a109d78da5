// The trackdemo program against the real component in a registry of the test's own.
#include "child_process.h"
#include "demonstration.h"
#include "sample_motion.h"
#include "scratch_registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <tuple>

namespace trackdemo::testing {
namespace {

using namespace morvane::test;
namespace fs = std::filesystem;

class Program : public ::testing::Test {
protected:
    Program()
    {
        fs::create_directories(work);
        for (const char *name : {first_frame_file, second_frame_file})
            fs::copy_file(fs::path(TRACKDEMO_SAMPLES_DIR) / name, work / name);
    }
    void register_module() { ASSERT_EQ(run_child({{REGSVR_PROGRAM, MORVANE_MODULE}, "", {}}).exit_status, 0); }
    // Runs trackdemo in the work folder, by default without a display.
    ChildResult run_trackdemo(std::optional<std::string> display = std::nullopt) const
    {
        return run_child({{TRACKDEMO_PROGRAM}, work.string(), {{"DISPLAY", display}, {"WAYLAND_DISPLAY", std::nullopt}}});
    }

    ScratchRegistry scratch;
    fs::path work = scratch.folder() / "work";
};

// With no display or one that cannot open, the samples track; unregistered: status -1, one message.
TEST_F(Program, TracksTheSampleFramesAndFailsUnregistered)
{
    const auto unregistered = run_trackdemo();
    EXPECT_EQ(std::tuple(unregistered.exit_status, unregistered.err, unregistered.out),
              std::tuple(255, "trackdemo: Unable to Create Object\n" + scratch.unregistered_message() + "\n", ""));
    register_module();
    for (const auto &display : {std::optional<std::string>(), std::optional<std::string>(":424242")}) {
        const auto result = run_trackdemo(display);
        ASSERT_EQ(result.exit_status, 0) << result.err;
        EXPECT_NE(result.err.find("trackdemo: Displaying tracked corners on images\ntrackdemo: Done\n"), std::string::npos)
            << result.err;
        std::istringstream lines(result.out);
        int points = 0;
        for (std::string line; std::getline(lines, line); ++points) {
            int i = -1, status = 0;
            double x = 0, y = 0, residue = -1;
            const char *form = "tracked point %d: x %lf y %lf status %d residue %lf";
            ASSERT_EQ(std::sscanf(line.c_str(), form, &i, &x, &y, &status, &residue), 5) << line;
            ASSERT_TRUE(i == points && points < 6 && status == 1 && residue >= 0.0) << line;
            EXPECT_NEAR(x, feature_table[2 * i] + samples::shift_x, 0.25) << line;
            EXPECT_NEAR(y, feature_table[2 * i + 1] + samples::shift_y, 0.25) << line;
        }
        EXPECT_EQ(points, 6) << result.out;
        EXPECT_EQ(std::distance(fs::directory_iterator(work), fs::directory_iterator()), 2) << "the program writes no files";
    }
}

} // namespace
} // namespace trackdemo::testing
