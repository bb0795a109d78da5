// Colour copies of grey frames, the marks' boxes, and drawing into a copy's pixels.
#include "console_display.h"
#include "images.h"
#include "marks.h"
#include "painter_imaging.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <sstream>

namespace trackdemo {
namespace {

GreyImage gradient(int width, int height)
{
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels.push_back(static_cast<std::uint8_t>(x + 10 * y));
    }
    return GreyImage(width, height, std::move(pixels));
}

TEST(GreyImage, HoldsExactlyWidthTimesHeightBytesOrNothing)
{
    EXPECT_EQ(gradient(5, 3).at(4, 2), 24);
    EXPECT_TRUE(GreyImage(5, 3, std::vector<std::uint8_t>(14)).empty());
    EXPECT_EQ(GreyImage(0, 3, {}).pixels(), nullptr);
}

// Grey becomes opaque equal channels; only the part both rectangles share is
// copied; an empty rectangle gives an image without pixels.
TEST(RgbaCopy, GreyBecomesOpaqueEqualChannelsWhereTheRectanglesMeet)
{
    const auto rgba = [](std::uint32_t v) { return v << 24 | v << 16 | v << 8 | 0xFF; };
    const GreyImage grey = gradient(7, 4);
    RgbaImage copy;
    copy.allocate(grey.rect());
    copy_grey_to_rgba(grey, copy);
    ASSERT_EQ(copy.rect(), grey.rect());
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(copy.at(x, y), rgba(grey.at(x, y)));
    }
    RgbaImage wide;
    wide.allocate({0, 0, 5, 4});
    copy_grey_to_rgba(gradient(3, 2), wide);
    EXPECT_EQ(wide.at(2, 1), rgba(12));
    EXPECT_EQ(wide.at(3, 1), 0x000000FFu);
    EXPECT_EQ(wide.at(0, 2), 0x000000FFu);
    RgbaImage narrow;
    narrow.allocate({0, 0, 2, 2});
    copy_grey_to_rgba(gradient(6, 6), narrow);
    EXPECT_EQ(narrow.at(1, 1), rgba(11));
    RgbaImage empty;
    empty.allocate({});
    copy_grey_to_rgba(gradient(2, 2), empty);
    EXPECT_EQ(empty.pixels(), nullptr);
}

TEST(MarkBox, SidesAreTwoPixelsOffTruncatedTowardZeroOrThereIsNone)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), infinity = std::numeric_limits<float>::infinity();
    const struct {
        float x, y;
        std::optional<Rect> box;
    } rows[] = {
        {18.0f, 197.0f, Rect{16, 195, 20, 199}},
        {10.9f, 10.9f, Rect{8, 8, 12, 12}},
        {-0.5f, -0.5f, Rect{-2, -2, 1, 1}},
        {-3.5f, 1.99f, Rect{-5, 0, -1, 3}},
        // 16777215.0 + 2 is not representable as a float; in double it is exact.
        {16777215.0f, 0.0f, Rect{16777213, -2, 16777217, 2}},
        {2147483000.0f - 1024.0f, 0.0f, Rect{2147481982, -2, 2147481986, 2}},
        {nan, 0.0f, std::nullopt},
        {0.0f, infinity, std::nullopt},
        {-infinity, 0.0f, std::nullopt},
        {2147483648.0f, 0.0f, std::nullopt},
        {0.0f, -2147483904.0f, std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(mark_box(row.x, row.y), row.box) << row.x << ", " << row.y;
}

// A mark is a red ring around its point, clipped at the image's edges; an image
// without pixels has no drawing context.
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
    int red = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const std::uint32_t pixel = copy.at(x, y);
            if (pixel >> 24 < 200 || (pixel >> 16 & 0xFF) > 60 || (pixel >> 8 & 0xFF) > 60)
                continue;
            const bool near_a_mark = (std::abs(x - 20) <= 4 && std::abs(y - 15) <= 4) || (x <= 2 && y <= 2);
            red += near_a_mark;
            EXPECT_TRUE(near_a_mark) << x << ", " << y;
        }
    }
    EXPECT_GE(red, 8);
    EXPECT_EQ(copy.at(30, 15), 0x646464FFu) << "pixels away from the marks are untouched";
    RgbaImage no_pixels;
    EXPECT_EQ(imaging.drawing_context(no_pixels), nullptr);
}

TEST(ConsoleDisplay, MessageBoxesBecomeLinesAndThePaneStepsDoNothing)
{
    std::ostringstream messages;
    ConsoleDisplay display(messages, "trackdemo");
    RgbaImage copy;
    copy.allocate({0, 0, 2, 2});
    const auto started = std::chrono::steady_clock::now();
    display.message_box("Done");
    display.open_pane(copy);
    display.display(copy);
    display.sleep(std::chrono::milliseconds(2000));
    display.close_pane();
    display.message_box("Could not open image 2\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_EQ(messages.str(), "trackdemo: Done\ntrackdemo: Could not open image 2\n\n");
}

} // namespace
} // namespace trackdemo
