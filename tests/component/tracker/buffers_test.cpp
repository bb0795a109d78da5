// Working buffers: the decimation test, allocation and release, stale state,
// allocation failures, and the reuse of the pyramid storage between runs.
#include "flow_tracking.h"
#include "test_support.h"
#include "expected_messages.h"

#include <limits>

namespace morvane::test {
namespace {

// Sizes that create_morvane accepts or refuses; a refusal leaves no buffers,
// even where an earlier create made some, and keeps the stale mark.
TEST(TrackerBuffers, CreateAcceptsOnlySizesItCanDecimateAndAllocate)
{
    const LONG int_max = std::numeric_limits<LONG>::max();
    const struct {
        LONG lines, columns, levels, max_features;
        HRESULT code;
        const char *message;
    } rows[] = {
        // 192 × 144 divides by 16 but 144 not by 32.
        {144, 192, 4, 400, S_OK, nullptr},
        {144, 192, 5, 400, E_FAIL, expected::decimation},
        {143, 192, 1, 400, E_FAIL, expected::decimation},
        {1 << 30, 1 << 30, 31, 400, E_FAIL, expected::decimation},
        {1 << 30, 1 << 30, 32, 400, E_FAIL, expected::decimation},
        {1 << 30, 1 << 30, 64, 400, E_FAIL, expected::decimation},
        {1 << 30, 1 << 30, int_max, 400, E_FAIL, expected::decimation},
        // 2^29 points of 8 bytes no longer fit a 32-bit size.
        {144, 192, 0, 1 << 29, E_OUTOFMEMORY, expected::out_of_memory},
        // 2^48 bytes per pyramid: beyond any address space.
        {1 << 24, 1 << 24, 0, 400, E_OUTOFMEMORY, expected::out_of_memory},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.lines << " x " << row.columns << ", " << row.levels << " levels");
        Tracker tracker;
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        ASSERT_EQ(tracker.put_lines(row.lines), S_OK);
        ASSERT_EQ(tracker.put_columns(row.columns), S_OK);
        ASSERT_EQ(tracker.put_pyramid_levels(row.levels), S_OK);
        ASSERT_EQ(tracker.put_max_features(row.max_features), S_OK);
        const HRESULT result = tracker.create_morvane();
        if (row.message == nullptr) {
            EXPECT_EQ(result, S_OK);
            EXPECT_TRUE(tracker.allocated());
            continue;
        }
        EXPECT_TRUE(failed_with(result, row.code, row.message));
        EXPECT_FALSE(tracker.allocated());
        EXPECT_EQ(tracker.pyramid_a(), nullptr);
        EXPECT_EQ(tracker.pyramid_b(), nullptr);
        EXPECT_TRUE(tracker.properties_changed());
        // The object recovers once the sizes are sensible again.
        configure(tracker, Settings{});
        ASSERT_EQ(tracker.put_max_features(400), S_OK);
        EXPECT_EQ(tracker.create_morvane(), S_OK);
    }
}

TEST(TrackerBuffers, CreateAndDestroyAnyNumberOfTimes)
{
    Tracker tracker;
    EXPECT_EQ(tracker.destroy_morvane(), S_OK);
    EXPECT_FALSE(tracker.allocated());
    EXPECT_EQ(tracker.create_morvane(), S_OK);
    EXPECT_EQ(tracker.create_morvane(), S_OK);
    EXPECT_TRUE(tracker.allocated());
    EXPECT_EQ(tracker.destroy_morvane(), S_OK);
    EXPECT_EQ(tracker.destroy_morvane(), S_OK);
    EXPECT_FALSE(tracker.allocated());
}

TEST(TrackerBuffers, GeometryWritesMakeTheBuffersStale)
{
    struct Write {
        const char *name;
        HRESULT (Tracker::*put)(LONG);
        LONG value;  // the default: writing it unchanged still counts
        bool stales;
    };
    const Write writes[] = {
        {"lines", &Tracker::put_lines, 144, true},
        {"columns", &Tracker::put_columns, 192, true},
        {"max_features", &Tracker::put_max_features, 400, true},
        {"pyramid_levels", &Tracker::put_pyramid_levels, 4, false},
        {"feature_width", &Tracker::put_feature_width, 3, false},
        {"feature_height", &Tracker::put_feature_height, 3, false},
        {"stop_iterations", &Tracker::put_stop_iterations, 9, false},
        {"calc_match_residue", &Tracker::put_calc_match_residue, 1, false},
    };
    for (const Write &w : writes) {
        Tracker tracker;
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        ASSERT_FALSE(tracker.properties_changed());
        ASSERT_EQ((tracker.*w.put)(w.value), S_OK);
        EXPECT_EQ(tracker.properties_changed(), w.stales) << w.name;
        // A refused write changes nothing.
        Tracker untouched;
        ASSERT_EQ(untouched.create_morvane(), S_OK);
        (untouched.*w.put)(-1);
        EXPECT_FALSE(untouched.properties_changed()) << w.name;
        // A new create clears the mark.
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        EXPECT_FALSE(tracker.properties_changed()) << w.name;
    }
    clear_error_record();
}

// Start of each level's buffer (its padded allocation).
std::vector<const uchar *> level_buffers(const FlowPyramid &pyramid)
{
    std::vector<const uchar *> starts;
    for (const cv::Mat &level : pyramid.levels())
        starts.push_back(level.datastart);
    return starts;
}

TEST(TrackerBuffers, PyramidStorageIsReusedByEveryRun)
{
    for (LONG levels : {0, 3}) {
        Tracker tracker;
        configure(tracker, Settings{192, 144, 2, levels, 5, 0.1f});
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        // create_morvane sized the base levels for this frame and window.
        const auto base_a = level_buffers(*tracker.pyramid_a());
        const auto base_b = level_buffers(*tracker.pyramid_b());
        ASSERT_EQ(base_a.size(), 1u);
        ASSERT_EQ(base_b.size(), 1u);

        const cv::Mat a = textured_frame(192, 144);
        const cv::Mat b = textured_frame(192, 144, 1.0, 0.5);
        const auto points = grid_points(192, 144, 20, 30);
        ASSERT_EQ(track_direct(tracker, a, b, points).result, S_OK);
        const auto warm_a = level_buffers(*tracker.pyramid_a());
        const auto warm_b = level_buffers(*tracker.pyramid_b());
        // Each level's image and its gradients.
        ASSERT_EQ(warm_a.size(), static_cast<size_t>(2 * (levels + 1)));
        ASSERT_EQ(warm_b.size(), static_cast<size_t>(2 * (levels + 1)));
        EXPECT_EQ(warm_a[0], base_a[0]);
        EXPECT_EQ(warm_b[0], base_b[0]);

        for (int run = 0; run < 3; ++run) {
            ASSERT_EQ(track_direct(tracker, b, a, points).result, S_OK);
            ASSERT_EQ(track_matrix(tracker, a, b, points).result, S_OK);
        }
        EXPECT_EQ(level_buffers(*tracker.pyramid_a()), warm_a);
        EXPECT_EQ(level_buffers(*tracker.pyramid_b()), warm_b);
    }
}

TEST(TrackerBuffers, CreateForgetsEarlierResidues)
{
    Tracker tracker;
    ASSERT_EQ(tracker.put_calc_match_residue(1), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    const cv::Mat a = textured_frame(192, 144);
    ASSERT_EQ(track_matrix(tracker, a, a, grid_points(192, 144, 20, 40)).result, S_OK);
    OwnedVariant residue;
    ASSERT_EQ(tracker.get_match_residue(residue.get()), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    OwnedVariant again;
    EXPECT_TRUE(failed_with(tracker.get_match_residue(again.get()), E_FAIL, expected::no_residue));
}

} // namespace
} // namespace morvane::test
