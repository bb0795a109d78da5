// trackdemo on an X display (a virtual one): the message boxes are dismissed as a
// user would, and screenshots taken while the window is up must show copy 2 with
// the red marks of the tracked points and copy 1 with those of the start points,
// and no other red.
#include "bitmap_reader.h"
#include "child_process.h"
#include "demonstration.h"
#include "marks.h"
#include "painter_imaging.h"
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
// but a handful equal that frame's, 0 when neither.
int frame_shown(const QImage &shot, const GreyImage &first, const GreyImage &second)
{
    if (shot.width() < first.width() || shot.height() < first.height())
        return 0;
    long grey = 0, off_first = 0, off_second = 0;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            if (qRed(pixel) != qGreen(pixel) || qGreen(pixel) != qBlue(pixel))
                continue;
            ++grey;
            off_first += qRed(pixel) != first.at(x, y);
            off_second += qRed(pixel) != second.at(x, y);
        }
    }
    const long tolerance = grey / 200;
    if (grey < first.width() * first.height() / 2 || (off_first <= tolerance) == (off_second <= tolerance))
        return 0;
    return off_first <= tolerance ? 1 : 2;
}

// The centre of the red pixels within 3 pixels of `box` in an image, and how many there are.
struct RedSpot {
    long count = 0;
    double x = 0, y = 0;
};
RedSpot red_spot(const QImage &image, const Rect &box)
{
    RedSpot spot;
    for (int y = std::max(box.top - 3, 0); y < std::min(box.bottom + 3, image.height()); ++y) {
        for (int x = std::max(box.left - 3, 0); x < std::min(box.right + 3, image.width()); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60)
                ++spot.count, spot.x += x, spot.y += y;
        }
    }
    const auto count = static_cast<double>(spot.count);
    return spot.count == 0 ? spot : RedSpot{spot.count, spot.x / count, spot.y / count};
}

// Around each box the shot holds a mark centred where the imaging layer draws
// it, and all the red of the window lies around the boxes.
void expect_marks_at(const QImage &shot, const std::vector<Rect> &boxes, int width, int height, const char *what)
{
    long marked = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        RgbaImage canvas;
        canvas.allocate({0, 0, width, height});
        PainterImaging imaging;
        {
            const auto context = imaging.drawing_context(canvas);
            context->select_pen(mark_pen);
            context->ellipse(boxes[i]);
        }
        const QImage drawn(canvas.pixels(), width, height, canvas.bytes_per_line(), QImage::Format_RGBA8888);
        const RedSpot expected = red_spot(drawn.convertToFormat(QImage::Format_RGB32), boxes[i]);
        const RedSpot seen = red_spot(shot, boxes[i]);
        marked += seen.count;
        EXPECT_TRUE(seen.count >= expected.count / 2 && std::abs(seen.x - expected.x) < 0.6 &&
                    std::abs(seen.y - expected.y) < 0.6)
            << what << ": point " << i << " does not carry its mark";
    }
    EXPECT_EQ(red_spot(shot, {3, 3, width - 3, height - 3}).count, marked) << what << ": red away from every point";
}

TEST(Desktop, WindowAlternatesCopiesMarkedAtTheStartAndTrackedPoints)
{
    if (!on_path("xvfb-run Xvfb"))
        GTEST_SKIP() << "Xvfb cannot start here: xvfb-run or Xvfb is not installed";
    ASSERT_TRUE(on_path("xdotool xprop import")) << "xdotool, xprop and import are needed to watch the program";
    const ScratchRegistry scratch;
    const fs::path work = scratch.folder() / "work", out = scratch.folder() / "out";
    fs::create_directories(work);
    fs::create_directories(out);
    for (const char *name : {first_frame_file, second_frame_file})
        fs::copy_file(fs::path(TRACKDEMO_SAMPLES_DIR) / name, work / name);
    ASSERT_EQ(run_child({{REGSVR_PROGRAM, MORVANE_MODULE}, "", {}}).exit_status, 0);

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

    std::vector<Rect> start, tracked;
    for (std::size_t i = 0; i < feature_table.size(); i += 2)
        start.push_back(*mark_box(feature_table[i], feature_table[i + 1]));
    std::istringstream lines(contents(out / "stdout"));
    for (std::string line; std::getline(lines, line);) {
        int index = 0, status = 0;
        float x = 0, y = 0;
        if (std::sscanf(line.c_str(), "tracked point %d: x %f y %f status %d", &index, &x, &y, &status) == 4 && status)
            tracked.push_back(*mark_box(x, y));
    }
    ASSERT_EQ(tracked.size(), 6u) << contents(out / "stdout");
    for (std::size_t i = 0; i < start.size(); ++i)
        ASSERT_NE(start[i], tracked[i]) << "the frames' motion must move each mark to tell the copies apart";

    GreyImage first, second;
    ASSERT_TRUE(read_grey_bitmap((work / first_frame_file).string(), first));
    ASSERT_TRUE(read_grey_bitmap((work / second_frame_file).string(), second));
    int copies_seen[3] = {0, 0, 0};
    for (const auto &entry : fs::directory_iterator(out)) {
        if (entry.path().extension() != ".png")
            continue;
        const QImage shot = QImage(QString::fromStdString(entry.path().string())).convertToFormat(QImage::Format_RGB32);
        const int shown = frame_shown(shot, first, second);
        ++copies_seen[shown];
        if (shown != 0)
            expect_marks_at(shot, shown == 1 ? start : tracked, first.width(), first.height(), shown == 1 ? "copy 1" : "copy 2");
    }
    EXPECT_GT(copies_seen[1], 0) << "no screenshot caught copy 1";
    EXPECT_GT(copies_seen[2], 0) << "no screenshot caught copy 2";
}

} // namespace
} // namespace trackdemo::testing
