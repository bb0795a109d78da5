// trackdemo on an X display (a virtual one): the message boxes are dismissed as a
// user would, and screenshots taken while the window is up must show copy 2 with
// the red marks of the tracked points and copy 1 with those of the start points,
// and no other red.
#include "bitmap_reader.h"
#include "child_process.h"
#include "scratch_registry.h"
#include "demonstration.h"
#include "marks.h"
#include "painter_imaging.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <set>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace trackdemo::testing {
namespace {

using morvane::test::ChildResult;
using morvane::test::ChildRun;
using morvane::test::run_child;

namespace fs = std::filesystem;

struct Point {
    double x;
    double y;
};

std::string contents(const fs::path &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool on_path(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && ::access((fs::path(folder) / program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

bool is_red(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

bool is_grey(QRgb pixel)
{
    return qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
}

// Which frame a screenshot's window area shows: 1 or 2 when every unmarked pixel
// but a handful equals that frame's, 0 when neither.
int frame_shown(const QImage &shot, const GreyImage &first, const GreyImage &second)
{
    if (shot.width() < first.width() || shot.height() < first.height())
        return 0;
    long grey = 0;
    long off_first = 0;
    long off_second = 0;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            if (!is_grey(pixel))
                continue;
            ++grey;
            off_first += qRed(pixel) != first.at(x, y);
            off_second += qRed(pixel) != second.at(x, y);
        }
    }
    const long tolerance = grey / 200;
    if (grey < first.width() * first.height() / 2)
        return 0;
    if (off_first <= tolerance && off_second > tolerance)
        return 1;
    if (off_second <= tolerance && off_first > tolerance)
        return 2;
    return 0;
}

using Pixels = std::set<std::pair<int, int>>;

Rect around(const Rect &box)
{
    return {box.left - 3, box.top - 3, box.right + 3, box.bottom + 3};
}

bool inside(const Rect &area, int x, int y)
{
    return x >= area.left && x < area.right && y >= area.top && y < area.bottom;
}

Pixels red_pixels(const QImage &image, const Rect &area)
{
    Pixels red;
    for (int y = std::max(area.top, 0); y < std::min(area.bottom, image.height()); ++y) {
        for (int x = std::max(area.left, 0); x < std::min(area.right, image.width()); ++x) {
            if (is_red(image.pixel(x, y)))
                red.insert({x, y});
        }
    }
    return red;
}

// The red pixels of one mark drawn by the imaging layer on a frame of the given size.
Pixels drawn_mark(const Rect &box, int width, int height)
{
    RgbaImage canvas;
    canvas.allocate({0, 0, width, height});
    PainterImaging imaging;
    {
        const auto context = imaging.drawing_context(canvas);
        context->select_pen(mark_pen);
        context->ellipse(box);
    }
    const QImage drawn(canvas.pixels(), width, height, canvas.bytes_per_line(), QImage::Format_RGBA8888);
    return red_pixels(drawn.convertToFormat(QImage::Format_RGB32), around(box));
}

// Around each point the shot holds exactly the mark of one of its candidate boxes,
// and there is no red anywhere else in the window.
void expect_marks_at(const QImage &shot, const std::vector<std::vector<Rect>> &candidates, int width, int height,
                     const char *what)
{
    std::vector<Rect> areas;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Rect area = around(candidates[i].front());
        areas.push_back(area);
        const Pixels seen = red_pixels(shot, area);
        bool matched = false;
        for (const Rect &box : candidates[i])
            matched = matched || seen == drawn_mark(box, width, height);
        EXPECT_TRUE(matched) << what << ": point " << i << " does not carry its mark (" << seen.size()
                             << " red pixels around it)";
    }
    for (const auto &pixel : red_pixels(shot, {0, 0, width, height})) {
        const bool expected =
            std::any_of(areas.begin(), areas.end(), [&](const Rect &a) { return inside(a, pixel.first, pixel.second); });
        EXPECT_TRUE(expected) << what << ": red at (" << pixel.first << ", " << pixel.second << ") away from every point";
    }
}

// The mark boxes a printed coordinate may stand for: it is rounded to 3 decimals.
std::vector<Rect> boxes_for(const Point &p, double rounding)
{
    std::vector<Rect> boxes;
    for (const double dx : {-rounding, rounding}) {
        for (const double dy : {-rounding, rounding}) {
            const auto box = mark_box(static_cast<float>(p.x + dx), static_cast<float>(p.y + dy));
            if (box && std::find(boxes.begin(), boxes.end(), *box) == boxes.end())
                boxes.push_back(*box);
        }
    }
    return boxes;
}

TEST(Desktop, WindowAlternatesCopiesMarkedAtTheStartAndTrackedPoints)
{
    if (!on_path("xvfb-run") || !on_path("Xvfb"))
        GTEST_SKIP() << "Xvfb cannot start here: xvfb-run or Xvfb is not installed";
    for (const char *tool : {"xdotool", "xprop", "import"})
        ASSERT_TRUE(on_path(tool)) << tool << " is needed to watch the program";

    const morvane::test::ScratchRegistry scratch;
    const fs::path work = scratch.folder() / "work";
    const fs::path out = scratch.folder() / "out";
    fs::create_directories(work);
    fs::create_directories(out);
    const std::string registry = scratch.file().string();
    for (const char *name : {first_frame_file, second_frame_file})
        fs::copy_file(fs::path(TRACKDEMO_SAMPLES_DIR) / name, work / name);
    const auto registered = run_child({{REGSVR_PROGRAM, MORVANE_MODULE}, "", {{"MORVANE_REGISTRY", registry}}});
    ASSERT_EQ(registered.exit_status, 0) << registered.err;

    // The window system's libraries, not built with the sanitizers, read strings
    // that strict checking misreads, and keep what they allocate until exit: under
    // AddressSanitizer those two checks are left out of the windowed run.
    const char *sanitizer_options = std::getenv("ASAN_OPTIONS");
    const std::string window_system_options =
        std::string(sanitizer_options != nullptr ? sanitizer_options : "") + ":strict_string_checks=0:detect_leaks=0";

    ChildRun session{{"/bin/sh", "-c",
                      "exec xvfb-run -a -s '-screen 0 1024x768x24 -nolisten tcp' bash \"$0\" \"$1\" \"$2\" \"$3\"",
                      DESKTOP_SESSION_SCRIPT, TRACKDEMO_PROGRAM, work.string(), out.string()},
                     "",
                     {{"MORVANE_REGISTRY", registry},
                      {"WAYLAND_DISPLAY", std::nullopt},
                      {"ASAN_OPTIONS", window_system_options}},
                     std::chrono::seconds(120)};
    const auto watched = run_child(session);
    if (!fs::exists(out / "started"))
        GTEST_SKIP() << "Xvfb cannot start here: " << watched.err;
    ASSERT_FALSE(watched.timed_out);
    EXPECT_EQ(contents(out / "status"), "0\n") << contents(out / "stderr");
    EXPECT_EQ(contents(out / "boxes"), "2\n") << "the two message boxes, each dismissed once";

    std::vector<Point> start;
    for (int i = 0; i < feature_count; ++i)
        start.push_back({feature_table[2 * i], feature_table[2 * i + 1]});
    std::vector<Point> tracked;
    std::istringstream lines(contents(out / "stdout"));
    std::string line;
    while (std::getline(lines, line)) {
        int index = 0;
        int status = 0;
        double x = 0;
        double y = 0;
        double residue = 0;
        if (std::sscanf(line.c_str(), "tracked point %d: x %lf y %lf status %d residue %lf", &index, &x, &y, &status,
                        &residue) == 5 &&
            status != 0)
            tracked.push_back({x, y});
    }
    ASSERT_EQ(tracked.size(), 6u) << contents(out / "stdout");

    std::vector<std::vector<Rect>> start_boxes;
    for (const auto &p : start)
        start_boxes.push_back(boxes_for(p, 0.0));
    std::vector<std::vector<Rect>> tracked_boxes;
    for (const auto &p : tracked)
        tracked_boxes.push_back(boxes_for(p, 0.0005));
    for (std::size_t i = 0; i < start.size(); ++i) {
        ASSERT_NE(start_boxes[i].front(), tracked_boxes[i].front())
            << "the frames' motion must move each mark for the screenshots to tell them apart";
    }

    GreyImage first;
    GreyImage second;
    ASSERT_TRUE(read_grey_bitmap((work / first_frame_file).string(), first));
    ASSERT_TRUE(read_grey_bitmap((work / second_frame_file).string(), second));
    int copies_seen[3] = {0, 0, 0};
    for (const auto &entry : fs::directory_iterator(out)) {
        if (entry.path().extension() != ".png")
            continue;
        QImage shot(QString::fromStdString(entry.path().string()));
        shot = shot.convertToFormat(QImage::Format_RGB32);
        const int shown = frame_shown(shot, first, second);
        ++copies_seen[shown];
        if (shown == 1)
            expect_marks_at(shot, start_boxes, first.width(), first.height(), "copy 1");
        else if (shown == 2)
            expect_marks_at(shot, tracked_boxes, first.width(), first.height(), "copy 2");
    }
    EXPECT_GT(copies_seen[2], 0) << "no screenshot caught copy 2";
    EXPECT_GT(copies_seen[1], 0) << "no screenshot caught copy 1";
}

} // namespace
} // namespace trackdemo::testing
