// Colour copies of grey frames, the marks' boxes and drawing, and the desktop display.
#include "desktop_display.h"
#include "images.h"
#include "marks.h"
#include "painter_imaging.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cmath>
#include <optional>

namespace trackdemo {
namespace {

GreyImage gradient(int width, int height)
{
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.push_back(static_cast<std::uint8_t>(i % width + 10 * (i / width)));
    return GreyImage(width, height, std::move(pixels));
}

// A grey image holds width x height bytes or none; a copy is opaque black outside it, or empty.
TEST(GreyImage, HoldsItsBytesAndBecomesOpaqueEqualChannelsWhereTheRectanglesMeet)
{
    EXPECT_EQ(gradient(5, 3).at(4, 2), 24);
    EXPECT_TRUE(GreyImage(5, 3, std::vector<std::uint8_t>(14)).empty());
    EXPECT_TRUE(GreyImage(-1, -3, std::vector<std::uint8_t>(3)).empty()) << "negative sides";
    const struct {
        Rect copy;
        int grey_width, grey_height, x, y;
        std::uint32_t expected;
    } rows[] = {
        {{0, 0, 7, 4}, 7, 4, 6, 3, 0x242424FFu}, {{0, 0, 5, 4}, 3, 2, 2, 1, 0x0C0C0CFFu},
        {{0, 0, 5, 4}, 3, 2, 3, 1, 0x000000FFu},         {{0, 0, 5, 4}, 3, 2, 0, 2, 0x000000FFu},
        {{0, 0, 2, 2}, 6, 6, 1, 1, 0x0B0B0BFFu},
    };
    for (const auto &row : rows) {
        RgbaImage copy;
        copy.allocate(row.copy);
        copy_grey_to_rgba(gradient(row.grey_width, row.grey_height), copy);
        EXPECT_EQ(copy.at(row.x, row.y), row.expected) << row.x << ", " << row.y;
    }
    RgbaImage inverted;
    inverted.allocate({5, 0, 3, 3});
    EXPECT_TRUE(inverted.empty() && inverted.rect() == Rect{}) << "a rectangle of negative width";
}

// Near the limits of float and int; truncation toward zero and NaN are in the demonstration's run.
TEST(MarkBox, SidesAreTwoPixelsOffTruncatedTowardZeroOrThereIsNone)
{
    const struct {
        float x, y;
        std::optional<Rect> box;
    } rows[] = {
        // 16777215.0 + 2 is not representable as a float; in double it is exact.
        {16777215.0f, 0.0f, Rect{16777213, -2, 16777217, 2}},
        {2147483000.0f - 1024.0f, 0.0f, Rect{2147481982, -2, 2147481986, 2}},
        {2147483648.0f, 0.0f, std::nullopt}, {0.0f, -2147483648.0f, std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(mark_box(row.x, row.y), row.box) << row.x << ", " << row.y;
}

// A mark is a red ring around its point, clipped at the edges; no pixels, no drawing context.
TEST(PainterImaging, MarksLandInTheCopysPixelsAsRedRings)
{
    RgbaImage copy;
    copy.allocate({0, 0, 40, 30});
    copy_grey_to_rgba(GreyImage(40, 30, std::vector<std::uint8_t>(1200, 100)), copy);
    PainterImaging imaging;
    {
        const auto context = imaging.drawing_context(copy);
        ASSERT_NE(context, nullptr);
        context->select_pen(mark_pen);
        for (const auto &[x, y] : {std::pair{20.0f, 15.0f}, {-0.5f, -0.5f}, {1e6f, 1e6f}})
            context->ellipse(*mark_box(x, y));
    }
    for (int i = 0; i < 40 * 30; ++i) {
        const int x = i % 40, y = i / 40, rgb = static_cast<int>(copy.at(x, y) >> 8);
        const bool near_a_mark = (std::abs(x - 20) <= 4 && std::abs(y - 15) <= 4) || (x <= 2 && y <= 2);
        const bool reddish = rgb >> 16 >= 200 && (rgb >> 8 & 0xFF) <= 60 && (rgb & 0xFF) <= 60;
        EXPECT_TRUE(near_a_mark || !reddish) << x << ", " << y;
    }
    EXPECT_EQ(std::pair(copy.at(18, 15), copy.at(1, 0)), std::pair(0xFF0000FFu, 0xFF0000FFu));
    EXPECT_EQ(copy.at(30, 15), 0x646464FFu) << "pixels away from the marks are untouched";
    RgbaImage no_pixels;
    EXPECT_EQ(imaging.drawing_context(no_pixels), nullptr);
}

// Off screen: the pane paints the image last given at (0, 0); a box waits; closing removes it.
TEST(DesktopDisplay, PaneShowsTheImageLastGivenAndABoxWaitsForItsDismissal)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "demo_imaging_test", *argv[] = {name, nullptr};
    QApplication application(argc, argv);
    RgbaImage first, second;
    first.allocate({0, 0, 12, 9});
    second.allocate({0, 0, 12, 9});
    first.pixels()[4 * (4 * 12 + 3)] = 0xFF; // (3, 4) red in the otherwise black copy
    DesktopDisplay display;
    display.open_pane(second);
    display.display(first);
    ASSERT_EQ(QApplication::topLevelWidgets().size(), 1);
    QWidget *pane = QApplication::topLevelWidgets().front();
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(std::pair(pane->pos(), pane->size()), std::pair(QPoint(0, 0), QSize(12, 9)));
    // Copy pixels are red, green, blue and alpha bytes in rows of exactly 12 pixels.
    EXPECT_TRUE(pane->grab().toImage().convertToFormat(QImage::Format_RGBA8888) ==
                QImage(first.pixels(), 12, 9, 48, QImage::Format_RGBA8888));
    QString text;
    QTimer::singleShot(0, [&text] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        text = box != nullptr ? box->text() : "no modal box";
        QApplication::activeModalWidget()->close();
    });
    display.message_box("Done");
    EXPECT_EQ(text, "Done");
    display.close_pane();
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

} // namespace
} // namespace trackdemo
