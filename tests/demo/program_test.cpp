// The trackdemo program itself, run against the real component registered in a
// registry of the test's own: without a display, the complete run on the sample
// frames and the failures only a real run meets (a component that is not
// registered, a file that is not a bitmap); on a virtual X display, the window as
// a user sees it.
#include "bitmap_reader.h"
#include "child_process.h"
#include "demonstration.h"
#include "sample_motion.h"
#include "scratch_registry.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

// Without a display and with one that cannot be opened, the sample frames track
// to their known motion.
TEST_F(Program, TracksTheSampleFramesToTheirKnownMotion)
{
    register_module();
    for (const auto &display : {std::optional<std::string>(), std::optional<std::string>(":424242")}) {
        const auto result = run_trackdemo(display);
        ASSERT_EQ(result.exit_status, 0) << result.err;
        EXPECT_NE(result.err.find("trackdemo: Displaying tracked corners on images\ntrackdemo: Done\n"), std::string::npos)
            << result.err;
        std::istringstream lines(result.out);
        std::size_t points = 0;
        for (std::string line; std::getline(lines, line); ++points) {
            int i = -1, status = 0;
            double x = 0, y = 0, residue = -1;
            ASSERT_EQ(std::sscanf(line.c_str(), "tracked point %d: x %lf y %lf status %d residue %lf", &i, &x, &y,
                                  &status, &residue),
                      5)
                << line;
            const auto at = static_cast<std::size_t>(2 * i);
            EXPECT_TRUE(i == static_cast<int>(points) && status == 1 && residue >= 0.0) << line;
            EXPECT_NEAR(x, feature_table[at] + samples::shift_x, 0.25) << line;
            EXPECT_NEAR(y, feature_table[at + 1] + samples::shift_y, 0.25) << line;
        }
        EXPECT_EQ(points, 6u) << result.out;
        EXPECT_EQ(std::distance(fs::directory_iterator(work), fs::directory_iterator()), 2) << "the program writes no files";
    }
}

// The failures only a real run meets: status -1, the one message, nothing tracked.
TEST_F(Program, UnregisteredComponentAndAFileThatIsNotABitmapFail)
{
    const auto unregistered = run_trackdemo();
    EXPECT_EQ(std::tuple(unregistered.exit_status, unregistered.err, unregistered.out),
              std::tuple(255, "trackdemo: Unable to Create Object\n", ""));
    register_module();
    fs::resize_file(work / first_frame_file, 3000);
    const auto not_a_bitmap = run_trackdemo();
    EXPECT_EQ(std::tuple(not_a_bitmap.exit_status, not_a_bitmap.err, not_a_bitmap.out),
              std::tuple(255, "trackdemo: Could not open image 1\n", ""));
}

std::string contents(const fs::path &path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool on_path(const std::string &programs)
{
    return run_child({{"/bin/sh", "-c", "for p in " + programs + "; do command -v $p || exit 1; done"}, "", {}})
               .exit_status == 0;
}

// Which frame a screenshot's window area shows: 1 or 2 when all its grey pixels
// but a handful equal that frame's, 0 when neither; and how many pixels there are red.
std::pair<int, long> frame_shown(const QImage &shot, const GreyImage &first, const GreyImage &second)
{
    if (shot.width() < first.width() || shot.height() < first.height())
        return {0, 0};
    long grey = 0, red = 0, off_first = 0, off_second = 0;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            red += qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
            if (qRed(pixel) != qGreen(pixel) || qGreen(pixel) != qBlue(pixel))
                continue;
            ++grey;
            off_first += qRed(pixel) != first.at(x, y);
            off_second += qRed(pixel) != second.at(x, y);
        }
    }
    const long tolerance = grey / 200;
    if (grey < first.width() * first.height() / 2 || (off_first <= tolerance) == (off_second <= tolerance))
        return {0, red};
    return {off_first <= tolerance ? 1 : 2, red};
}

// The message boxes are dismissed as a user would; screenshots taken while the
// window is up show both copies, each with the red of its six marks.
TEST_F(Program, OnADesktopTheWindowAlternatesTheMarkedCopies)
{
    if (!on_path("xvfb-run Xvfb"))
        GTEST_SKIP() << "Xvfb cannot start here: xvfb-run or Xvfb is not installed";
    ASSERT_TRUE(on_path("xdotool xprop import")) << "xdotool, xprop and import are needed to watch the program";
    const fs::path out = scratch.folder() / "out";
    fs::create_directories(out);
    register_module();

    // The window system's libraries, not built with the sanitizers, read strings
    // that strict checking misreads and keep what they allocate until exit.
    const char *sanitizer_options = std::getenv("ASAN_OPTIONS");
    ChildRun session{{"/bin/sh", "-c",
                      "exec xvfb-run -a -s '-screen 0 1024x768x24 -nolisten tcp' bash \"$0\" \"$1\" \"$2\" \"$3\"",
                      DESKTOP_SESSION_SCRIPT, TRACKDEMO_PROGRAM, work.string(), out.string()},
                     "",
                     {{"WAYLAND_DISPLAY", std::nullopt},
                      {"ASAN_OPTIONS", std::string(sanitizer_options != nullptr ? sanitizer_options : "") +
                                           ":strict_string_checks=0:detect_leaks=0"}},
                     std::chrono::seconds(120)};
    const auto watched = run_child(session);
    if (!fs::exists(out / "started"))
        GTEST_SKIP() << "Xvfb cannot start here: " << watched.err;
    ASSERT_FALSE(watched.timed_out);
    EXPECT_EQ(contents(out / "status"), "0\n") << contents(out / "stderr");
    EXPECT_EQ(contents(out / "boxes"), "2\n") << "the two message boxes, each dismissed once";

    GreyImage first, second;
    ASSERT_TRUE(read_grey_bitmap((work / first_frame_file).string(), first));
    ASSERT_TRUE(read_grey_bitmap((work / second_frame_file).string(), second));
    int copies_seen[3] = {0, 0, 0};
    for (const auto &entry : fs::directory_iterator(out)) {
        if (entry.path().extension() != ".png")
            continue;
        const QImage shot = QImage(QString::fromStdString(entry.path().string())).convertToFormat(QImage::Format_RGB32);
        const auto [shown, red] = frame_shown(shot, first, second);
        ++copies_seen[shown];
        EXPECT_TRUE(shown == 0 || red >= 6 * 8) << entry.path() << " shows copy " << shown << " with " << red << " red";
    }
    EXPECT_GT(copies_seen[1], 0) << "no screenshot caught copy 1";
    EXPECT_GT(copies_seen[2], 0) << "no screenshot caught copy 2";
}

} // namespace
} // namespace trackdemo::testing
