// Working buffers: the decimation test, allocation and release, and stale state.
#include "test_support.h"

namespace morvane::test {
namespace {

// A refusal leaves no buffers and the stale mark, until sensible sizes come back.
TEST(TrackerBuffers, CreateAcceptsOnlySizesItCanDecimateAndAllocate)
{
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
        {1 << 30, 1 << 30, std::numeric_limits<LONG>::max(), 400, E_FAIL, expected::decimation},
        // 2^29 points of 8 bytes no longer fit a 32-bit size; 2^48 bytes per pyramid fit nowhere.
        {144, 192, 0, 1 << 29, E_OUTOFMEMORY, expected::out_of_memory},
        {1 << 24, 1 << 24, 0, 400, E_OUTOFMEMORY, expected::out_of_memory},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.lines << " x " << row.columns << ", " << row.levels);
        Tracker tracker;
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        configure(tracker, Settings{row.columns, row.lines, 2, 2, row.levels});
        ASSERT_EQ(tracker.put_max_features(row.max_features), S_OK);
        if (!row.message) {
            EXPECT_EQ(tracker.create_morvane(), S_OK);
            continue;
        }
        EXPECT_TRUE(failed_with(tracker.create_morvane(), row.code, row.message));
        EXPECT_FALSE(tracker.allocated());
        EXPECT_EQ(tracker.pyramid_a(), nullptr);
        EXPECT_EQ(tracker.pyramid_b(), nullptr);
        EXPECT_TRUE(tracker.properties_changed());
        configure(tracker, Settings{});
        ASSERT_EQ(tracker.put_max_features(400), S_OK);
        EXPECT_EQ(tracker.create_morvane(), S_OK);
    }
}

// Create and destroy any number of times; a new create forgets earlier residues.
TEST(TrackerBuffers, CreateAndDestroyRepeatedly)
{
    Tracker tracker;
    EXPECT_EQ(tracker.destroy_morvane(), S_OK);
    ASSERT_EQ(tracker.put_calc_match_residue(1), S_OK);
    EXPECT_EQ(tracker.create_morvane(), S_OK);
    const cv::Mat a = textured_frame(192, 144);
    ASSERT_EQ(track_matrix(tracker, a, a, grid_points(192, 144, 20, 40)).residue.size(), 12u);
    EXPECT_EQ(tracker.create_morvane(), S_OK);
    EXPECT_TRUE(tracker.allocated());
    OwnedVariant residue;
    EXPECT_TRUE(failed_with(tracker.get_match_residue(residue.get()), E_FAIL, expected::no_residue));
    EXPECT_EQ(tracker.destroy_morvane(), S_OK);
    EXPECT_EQ(tracker.destroy_morvane(), S_OK);
    EXPECT_FALSE(tracker.allocated());
}

// Writing the size stales the buffers, even unchanged; other writes and refused writes do not.
TEST(TrackerBuffers, GeometryWritesMakeTheBuffersStale)
{
    const struct {
        HRESULT (Tracker::*put)(LONG);
        LONG value;
        bool stales;
    } writes[] = {
        {&Tracker::put_lines, 144, true},          {&Tracker::put_columns, 192, true},
        {&Tracker::put_max_features, 400, true},   {&Tracker::put_pyramid_levels, 4, false},
        {&Tracker::put_feature_width, 3, false},   {&Tracker::put_feature_height, 3, false},
        {&Tracker::put_stop_iterations, 9, false}, {&Tracker::put_calc_match_residue, 1, false},
    };
    for (const auto &w : writes) {
        Tracker tracker, refused;
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        ASSERT_EQ(refused.create_morvane(), S_OK);
        ASSERT_EQ((tracker.*w.put)(w.value), S_OK);
        EXPECT_EQ(tracker.properties_changed(), w.stales) << w.value;
        (refused.*w.put)(-1);
        EXPECT_FALSE(refused.properties_changed()) << w.value;
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        EXPECT_FALSE(tracker.properties_changed()) << w.value;
    }
    SetErrorInfo(0, nullptr);
}

} // namespace
} // namespace morvane::test
