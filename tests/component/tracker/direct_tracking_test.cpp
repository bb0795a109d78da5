// The direct call: accuracy, agreement with the library, refusals that write nothing.
#include "test_support.h"

#include <opencv2/video/tracking.hpp>

#include <cmath>

namespace morvane::test {
namespace {

enum class Buffers { none, made, made_for_another_size };

struct TrackingCase {
    const char *name;
    Settings settings;
    Buffers buffers;
    double dx, dy;    // true motion of the second frame
    double tolerance; // pixels from the true motion; negative: not judged
};

class Tracking : public ::testing::TestWithParam<TrackingCase> {};

// The call gives exactly the library's answer, run after run, and it lies on the true motion.
TEST_P(Tracking, AgreesWithTheLibraryAndTheTrueMotion)
{
    const TrackingCase &c = GetParam();
    const Settings &s = c.settings;
    const cv::Mat a = textured_frame(s.columns, s.lines, 0.0, 0.0, 11), b = textured_frame(s.columns, s.lines, c.dx, c.dy, 11);
    const auto points = grid_points(s.columns, s.lines, 20, 12);
    TrackResult library;
    const cv::TermCriteria stop(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, s.iterations,
                                s.epsilon);
    cv::calcOpticalFlowPyrLK(a, b, points, library.points, library.status, library.residue,
                             cv::Size(2 * s.half_width + 1, 2 * s.half_height + 1),
                             std::min<LONG>(s.levels, 1000), stop, 0);
    Tracker tracker;
    ASSERT_TRUE(c.buffers != Buffers::made_for_another_size || tracker.create_morvane() == S_OK);
    configure(tracker, s);
    ASSERT_TRUE(c.buffers != Buffers::made || tracker.create_morvane() == S_OK);
    for (int run = 0; run < 2; ++run) {
        const TrackResult r = track_direct(tracker, a, b, points);
        ASSERT_EQ(r.result, S_OK);
        EXPECT_EQ(r.points, library.points);
        EXPECT_EQ(r.status, library.status);
        for (size_t i = 0; i < points.size(); ++i)
            EXPECT_TRUE(!r.status[i] || r.residue[i] == library.residue[i]) << i;
    }
    for (size_t i = 0; c.tolerance >= 0 && i < points.size(); ++i) {
        const cv::Point2f moved = library.points[i] - points[i];
        EXPECT_EQ(library.status[i], 1) << i;
        EXPECT_LE(std::hypot(moved.x - c.dx, moved.y - c.dy), c.tolerance) << i;
    }
}

// Tight cases use a 15 × 15 window (the 5 × 5 default errs near 0.1 px); an uneven one
// shows a mix-up of width and height; the size read is that of the moment, not the buffers'.
const LONG int_max = std::numeric_limits<LONG>::max();
const TrackingCase tracking_cases[] = {
    {"level0_tight", {192, 144, 7, 7, 0, 30, 0.001f}, Buffers::made, 0.37, -0.61, 0.05},
    {"level3_tight", {192, 144, 7, 7, 3, 30, 0.001f}, Buffers::made, 6.3, -4.2, 0.05},
    {"uneven_window", {192, 144, 3, 1, 2, 10, 0.01f}, Buffers::made, 1.7, -0.9, -1},
    {"uneven_window_unbuffered", {192, 144, 3, 1, 2, 10, 0.01f}, Buffers::none, 1.7, -0.9, -1},
    {"smaller_than_buffers", {96, 64, 7, 7, 0, 30, 0.001f}, Buffers::made_for_another_size, 0.4, -0.2, 0.05},
    {"larger_than_buffers", {320, 200, 7, 7, 0, 30, 0.001f}, Buffers::made_for_another_size, 0.4, -0.2, 0.05},
    {"levels_int_max", {192, 144, 2, 2, int_max, 5, 0.1f}, Buffers::made_for_another_size, 6.3, -4.2, -1},
};

INSTANTIATE_TEST_SUITE_P(Motion, Tracking, ::testing::ValuesIn(tracking_cases),
                         [](const auto &c) { return std::string(c.param.name); });

// Each refusal, and a null pointer before each: its code and message, the arrays untouched.
TEST(DirectTracking, RefusalsLeaveTheCallersArraysUntouched)
{
    const std::tuple<const char *, bool, Settings, LONG, HRESULT, const char *> rows[] = {
        {"count -1", false, {}, -1, E_INVALIDARG, expected::negative_count},
        // Windows: 2·n+1 overflows; then the padded frame; then the window's pixel count.
        {"widest", true, {192, 144, int_max, 2}, 60, E_INVALIDARG, expected::window_too_large},
        {"tallest", true, {192, 144, 2, 1 << 30}, 60, E_INVALIDARG, expected::window_too_large},
        {"padded", true, {int_max - 4, 144, 2, 2}, 60, E_INVALIDARG, expected::window_too_large},
        {"pixels", true, {192, 144, 20000, 20000}, 60, E_INVALIDARG, expected::window_too_large},
        // Frames of 2^24 × 2^24: the library's exception must not leave the call.
        {"huge frames", false, {1 << 24, 1 << 24}, 60, E_FAIL, expected::tracking_failed},
        {"huge frames, allocated", true, {1 << 24, 1 << 24}, 60, E_FAIL, expected::tracking_failed},
    };
    cv::Mat a = textured_frame(192, 144);
    const auto points = grid_points(192, 144, 20, 40);
    const size_t n = points.size();
    for (const auto &[what, allocate, settings, count, code, message] : rows)
        for (int missing = -1; missing < 5; ++missing) {
            Tracker tracker;
            ASSERT_TRUE(!allocate || tracker.create_morvane() == S_OK);
            configure(tracker, settings);
            const TrackResult r = track_direct(tracker, a, a, points, count, missing);
            EXPECT_TRUE(missing < 0 ? failed_with(r.result, code, message)
                                    : failed_with(r.result, E_POINTER, expected::null_pointer))
                << what << ", pointer " << missing;
            EXPECT_TRUE(r.points == std::vector(n, cv::Point2f(-1.0f, -1.0f)) &&
                        r.status == std::vector<BYTE>(n, 7) && r.residue == std::vector(n, -1.0f))
                << what;
        }
    // A window larger than the frame is still the library's to handle.
    Tracker tracker;
    configure(tracker, Settings{192, 144, 150, 100});
    EXPECT_EQ(track_direct(tracker, a, a, grid_points(192, 144, 20, 40)).result, S_OK);
}

} // namespace
} // namespace morvane::test
