// The direct call: accuracy on frames with a known motion, agreement with the
// library's own call with and without the object's buffers, untouched memory,
// and the refusals that keep bad settings and library failures inside.
#include "test_support.h"
#include "expected_messages.h"

#include <opencv2/video/tracking.hpp>

#include <cmath>
#include <cstring>
#include <limits>

namespace morvane::test {
namespace {

struct AccuracyCase {
    const char *name;
    LONG half_window;
    LONG levels;
    double dx, dy;      // true motion of the second frame
    LONG iterations;
    FLOAT epsilon;
    double tolerance;   // pixels
    bool matrix_call;
};

class TrackingAccuracy : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(TrackingAccuracy, PointsLandOnTheTrueMotion)
{
    const AccuracyCase &c = GetParam();
    Tracker tracker;
    configure(tracker, Settings{192, 144, c.half_window, c.levels, c.iterations, c.epsilon});
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    const cv::Mat a = textured_frame(192, 144);
    const cv::Mat b = textured_frame(192, 144, c.dx, c.dy);
    const auto points = grid_points(192, 144, 24, 12);
    const TrackResult r = c.matrix_call ? track_matrix(tracker, a, b, points)
                                        : track_direct(tracker, a, b, points);
    ASSERT_EQ(r.result, S_OK);
    ASSERT_EQ(r.points.size(), points.size());
    double worst = 0.0;
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(r.status[i], 1) << i;
        const double ex = r.points[i].x - (points[i].x + c.dx);
        const double ey = r.points[i].y - (points[i].y + c.dy);
        worst = std::max(worst, std::hypot(ex, ey));
    }
    EXPECT_LE(worst, c.tolerance);
    RecordProperty("worst_error", std::to_string(worst));
}

// A sub-pixel motion is found on the full frame alone; a motion of several
// pixels is beyond the window there and needs the pyramid. The tight cases
// use a 15 × 15 window: the 5 × 5 default has an error floor near 0.1 px of
// its own on any texture, whatever the stop rule.
const AccuracyCase accuracy_cases[] = {
    {"level0_tight_direct", 7, 0, 0.37, -0.61, 30, 0.001f, 0.05, false},
    {"level0_tight_matrix", 7, 0, 0.37, -0.61, 30, 0.001f, 0.05, true},
    {"level0_default_direct", 2, 0, 0.37, -0.61, 5, 0.1f, 0.25, false},
    {"level0_default_matrix", 2, 0, 0.37, -0.61, 5, 0.1f, 0.25, true},
    {"level3_tight_direct", 7, 3, 6.3, -4.2, 30, 0.001f, 0.05, false},
    {"level3_tight_matrix", 7, 3, 6.3, -4.2, 30, 0.001f, 0.05, true},
    {"level3_default_direct", 2, 3, 6.3, -4.2, 5, 0.1f, 0.25, false},
    {"level3_default_matrix", 2, 3, 6.3, -4.2, 5, 0.1f, 0.25, true},
};

INSTANTIATE_TEST_SUITE_P(Motion, TrackingAccuracy, ::testing::ValuesIn(accuracy_cases),
                         [](const auto &c) { return std::string(c.param.name); });

TEST(DirectTracking, AgreesWithTheLibrarysOwnCall)
{
    // An uneven window (7 × 3) and two levels: any mix-up of width and height,
    // half and full size, level count or stop rule shows as a difference.
    const cv::Mat a = textured_frame(192, 144, 0.0, 0.0, 11);
    const cv::Mat b = textured_frame(192, 144, 1.7, -0.9, 11);
    const auto points = grid_points(192, 144, 8, 9);
    std::vector<cv::Point2f> expected_points;
    std::vector<unsigned char> expected_status;
    std::vector<float> expected_residue;
    cv::calcOpticalFlowPyrLK(a, b, points, expected_points, expected_status, expected_residue,
                             cv::Size(7, 3), 2,
                             cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 10,
                                              static_cast<double>(0.01f)),
                             0);
    for (bool allocate : {true, false}) {
        Tracker tracker;
        configure(tracker, Settings{192, 144, 1, 2, 10, 0.01f});
        ASSERT_EQ(tracker.put_feature_width(3), S_OK);
        if (allocate) {
            ASSERT_EQ(tracker.create_morvane(), S_OK);
        }
        for (int run = 0; run < 2; ++run) {
            const TrackResult r = track_direct(tracker, a, b, points);
            ASSERT_EQ(r.result, S_OK);
            EXPECT_EQ(r.status, expected_status);
            ASSERT_EQ(r.points.size(), expected_points.size());
            for (size_t i = 0; i < points.size(); ++i) {
                EXPECT_EQ(r.points[i], expected_points[i]) << i;
                if (expected_status[i]) {
                    EXPECT_EQ(r.residue[i], expected_residue[i]) << i;
                }
            }
        }
    }
}

TEST(DirectTracking, KeptPyramidsFollowTheBytesNotTheBuffers)
{
    // Two caller buffers refilled between runs, as a video reader does: every
    // run agrees with the library's own call on the content of the moment,
    // whether a kept pyramid is reused, reused in the other role, or stale.
    const std::vector<cv::Mat> frames = {textured_frame(192, 144, 0.0, 0.0, 5),
                                         textured_frame(192, 144, 0.6, 0.3, 5),
                                         textured_frame(192, 144, 1.3, -0.4, 5)};
    struct Step {
        int in_first, in_second; // frames held by the two buffers
        bool backward;           // tracks from the second buffer to the first
    };
    const Step steps[] = {{0, 1, false}, {0, 1, true}, {2, 1, false}, {2, 1, true},
                          {2, 0, false}, {1, 0, true}, {1, 1, false}};
    const auto points = grid_points(192, 144, 10, 13);
    const cv::TermCriteria stop(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 10,
                                static_cast<double>(0.01f));
    Tracker tracker;
    configure(tracker, Settings{192, 144, 2, 2, 10, 0.01f});
    ASSERT_EQ(tracker.put_feature_width(3), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    cv::Mat first(144, 192, CV_8UC1);
    cv::Mat second(144, 192, CV_8UC1);
    for (const Step &step : steps) {
        frames[static_cast<size_t>(step.in_first)].copyTo(first);
        frames[static_cast<size_t>(step.in_second)].copyTo(second);
        const cv::Mat &from = step.backward ? second : first;
        const cv::Mat &to = step.backward ? first : second;
        std::vector<cv::Point2f> expected_points;
        std::vector<unsigned char> expected_status;
        std::vector<float> expected_residue;
        cv::calcOpticalFlowPyrLK(from.clone(), to.clone(), points, expected_points, expected_status,
                                 expected_residue, cv::Size(7, 5), 2, stop, 0);
        const TrackResult r = track_direct(tracker, from, to, points);
        const std::string where = "frames " + std::to_string(step.in_first) + ", " +
                                  std::to_string(step.in_second) + (step.backward ? " back" : "");
        ASSERT_EQ(r.result, S_OK) << where;
        EXPECT_EQ(r.status, expected_status) << where;
        EXPECT_EQ(r.points, expected_points) << where;
    }
}

// Caller arrays with room past count, filled with values no run writes.
struct CallerArrays {
    static constexpr size_t room = 6;
    explicit CallerArrays(const std::vector<cv::Point2f> &points)
        : from(points), to(points.size() + room, cv::Point2f(-77.0f, -77.0f)),
          status(points.size() + room, 0xAB), residue(points.size() + room, -55.0f)
    {
    }
    FLOAT *from_data() { return reinterpret_cast<FLOAT *>(from.data()); }
    FLOAT *to_data() { return reinterpret_cast<FLOAT *>(to.data()); }
    bool untouched_from(size_t first) const
    {
        for (size_t i = first; i < to.size(); ++i)
            if (to[i] != cv::Point2f(-77.0f, -77.0f) || status[i] != 0xAB || residue[i] != -55.0f)
                return false;
        return true;
    }
    std::vector<cv::Point2f> from, to;
    std::vector<unsigned char> status;
    std::vector<float> residue;
};

TEST(DirectTracking, WritesOnlyTheFirstCountEntries)
{
    Tracker tracker;
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    cv::Mat a = textured_frame(192, 144);
    cv::Mat b = textured_frame(192, 144, 0.3, 0.2);
    CallerArrays arrays(grid_points(192, 144, 20, 30));
    const auto n = static_cast<LONG>(arrays.from.size());
    ASSERT_EQ(tracker._track_corners(a.data, b.data, n, arrays.from_data(), arrays.to_data(),
                                     arrays.status.data(), arrays.residue.data()),
              S_OK);
    EXPECT_TRUE(arrays.untouched_from(static_cast<size_t>(n)));
    for (LONG i = 0; i < n; ++i) {
        EXPECT_EQ(arrays.status[static_cast<size_t>(i)], 1);
        EXPECT_GE(arrays.residue[static_cast<size_t>(i)], 0.0f);
    }

    // No residue array: the same points, no residues anywhere.
    CallerArrays plain(arrays.from);
    ASSERT_EQ(tracker._track_corners(a.data, b.data, n, plain.from_data(), plain.to_data(),
                                     plain.status.data(), nullptr),
              S_OK);
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        EXPECT_EQ(plain.to[i], arrays.to[i]);
        EXPECT_EQ(plain.residue[i], -55.0f);
    }

    // No points: nothing is written at all.
    CallerArrays none(arrays.from);
    EXPECT_EQ(tracker._track_corners(a.data, b.data, 0, none.from_data(), none.to_data(),
                                     none.status.data(), none.residue.data()),
              S_OK);
    EXPECT_TRUE(none.untouched_from(0));
}

TEST(DirectTracking, ReadsTheFrameSizeOfTheMoment)
{
    // The direct call follows the current size even when it differs from the
    // one the buffers were made for.
    Tracker tracker;
    configure(tracker, Settings{192, 144, 7, 0, 30, 0.001f});
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    for (const cv::Size size : {cv::Size(96, 64), cv::Size(320, 200), cv::Size(192, 144)}) {
        ASSERT_EQ(tracker.put_columns(size.width), S_OK);
        ASSERT_EQ(tracker.put_lines(size.height), S_OK);
        const cv::Mat a = textured_frame(size.width, size.height, 0.0, 0.0, 3);
        const cv::Mat b = textured_frame(size.width, size.height, 0.4, -0.2, 3);
        const auto points = grid_points(size.width, size.height, 20, 16);
        const TrackResult r = track_direct(tracker, a, b, points);
        ASSERT_EQ(r.result, S_OK) << size;
        for (size_t i = 0; i < points.size(); ++i) {
            EXPECT_EQ(r.status[i], 1) << size << i;
            EXPECT_NEAR(r.points[i].x, points[i].x + 0.4, 0.05) << size << i;
            EXPECT_NEAR(r.points[i].y, points[i].y - 0.2, 0.05) << size << i;
        }
    }
}

TEST(DirectTracking, AnyLevelCountIsSafe)
{
    // Levels beyond what the frame allows end where the library stops
    // building, as in its own call; no count overflows on the way.
    const cv::Mat a = textured_frame(192, 144);
    const cv::Mat b = textured_frame(192, 144, 6.3, -4.2);
    const auto points = grid_points(192, 144, 24, 24);
    std::vector<cv::Point2f> expected;
    std::vector<unsigned char> expected_status;
    cv::calcOpticalFlowPyrLK(a, b, points, expected, expected_status, cv::noArray(),
                             cv::Size(5, 5), 1000,
                             cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 5,
                                              static_cast<double>(0.1f)),
                             0);
    Tracker tracker;
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    for (LONG levels : {31, 1000, std::numeric_limits<LONG>::max()}) {
        ASSERT_EQ(tracker.put_pyramid_levels(levels), S_OK);
        const TrackResult r = track_direct(tracker, a, b, points);
        ASSERT_EQ(r.result, S_OK) << levels;
        EXPECT_EQ(r.points, expected) << levels;
        EXPECT_EQ(r.status, expected_status) << levels;
    }
}

// Each refusal: its code and message, with the caller's arrays left untouched.
TEST(DirectTracking, RefusalsLeaveTheCallersArraysUntouched)
{
    const LONG int_max = std::numeric_limits<LONG>::max();
    const struct {
        const char *what;
        bool allocate;
        LONG lines, columns, half_width, half_height, count;
        int missing; // which of the five pointers is null, or -1
        HRESULT code;
        const char *message;
    } rows[] = {
        {"first frame", true, 144, 192, 2, 2, 60, 0, E_POINTER, expected::null_pointer},
        {"second frame", true, 144, 192, 2, 2, 60, 1, E_POINTER, expected::null_pointer},
        {"start points", true, 144, 192, 2, 2, 60, 2, E_POINTER, expected::null_pointer},
        {"tracked points", true, 144, 192, 2, 2, 60, 3, E_POINTER, expected::null_pointer},
        {"status", true, 144, 192, 2, 2, 60, 4, E_POINTER, expected::null_pointer},
        {"count -1", false, 144, 192, 2, 2, -1, -1, E_INVALIDARG, expected::negative_count},
        {"lowest count", false, 144, 192, 2, 2, std::numeric_limits<LONG>::min(), -1, E_INVALIDARG,
         expected::negative_count},
        // 2·n+1 does not fit in 32 bits; then the padded frame does not; then the
        // window's pixels overflow the library's count.
        {"widest window", true, 144, 192, int_max, 2, 60, -1, E_INVALIDARG, expected::window_too_large},
        {"tallest window", true, 144, 192, 2, int_max / 2 + 1, 60, -1, E_INVALIDARG, expected::window_too_large},
        {"padded frame", true, 144, 192, int_max / 2, 2, 60, -1, E_INVALIDARG, expected::window_too_large},
        {"window pixels", true, 144, 192, 20000, 20000, 60, -1, E_INVALIDARG, expected::window_too_large},
        // Frames of 2^24 × 2^24: the library's exception must not leave the call.
        {"huge frames", false, 1 << 24, 1 << 24, 2, 2, 60, -1, E_FAIL, expected::tracking_failed},
        {"huge frames, allocated", true, 1 << 24, 1 << 24, 2, 2, 60, -1, E_FAIL, expected::tracking_failed},
    };
    cv::Mat a = textured_frame(192, 144);
    cv::Mat b = a.clone();
    for (const auto &row : rows) {
        Tracker tracker;
        if (row.allocate) {
            ASSERT_EQ(tracker.create_morvane(), S_OK);
        }
        ASSERT_EQ(tracker.put_lines(row.lines), S_OK);
        ASSERT_EQ(tracker.put_columns(row.columns), S_OK);
        ASSERT_EQ(tracker.put_feature_width(row.half_width), S_OK);
        ASSERT_EQ(tracker.put_feature_height(row.half_height), S_OK);
        CallerArrays arrays(grid_points(192, 144, 20, 40));
        const HRESULT result = tracker._track_corners(
            row.missing == 0 ? nullptr : a.data, row.missing == 1 ? nullptr : b.data, row.count,
            row.missing == 2 ? nullptr : arrays.from_data(), row.missing == 3 ? nullptr : arrays.to_data(),
            row.missing == 4 ? nullptr : arrays.status.data(), arrays.residue.data());
        EXPECT_TRUE(failed_with(result, row.code, row.message)) << row.what;
        EXPECT_TRUE(arrays.untouched_from(0)) << row.what;
    }
    // A window larger than the frame is still the library's to handle.
    Tracker tracker;
    ASSERT_EQ(tracker.put_feature_width(150), S_OK);
    ASSERT_EQ(tracker.put_feature_height(100), S_OK);
    EXPECT_EQ(track_direct(tracker, a, b, grid_points(192, 144, 20, 40)).result, S_OK);
}

} // namespace
} // namespace morvane::test
