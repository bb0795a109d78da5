// Properties with their refusals and messages, the error record, and the working buffers.
#include "test_support.h"

#include <morvane.h>
#include <opencv2/video/tracking.hpp>

namespace morvane::test {
namespace {

constexpr LONG lowest = std::numeric_limits<LONG>::min();
constexpr LONG highest = std::numeric_limits<LONG>::max();

// Accessors, lowest accepted value, whether any write stales the buffers, message.
using IntegerProperty =
    std::tuple<HRESULT (Tracker::*)(LONG *), HRESULT (Tracker::*)(LONG), LONG, bool, const char *>;

using T = Tracker;
const IntegerProperty integer_properties[] = {
    {&T::get_lines, &T::put_lines, 1, true, expected::lines},
    {&T::get_columns, &T::put_columns, 1, true, expected::columns},
    {&T::get_max_features, &T::put_max_features, 1, true, expected::max_features},
    {&T::get_stop_iterations, &T::put_stop_iterations, 1, false, expected::stop_iterations},
    {&T::get_feature_width, &T::put_feature_width, 1, false, expected::feature_width},
    {&T::get_feature_height, &T::put_feature_height, 1, false, expected::feature_height},
    {&T::get_pyramid_levels, &T::put_pyramid_levels, 0, false, expected::pyramid_levels},
    {&T::get_calc_match_residue, &T::put_calc_match_residue, lowest, false, nullptr},
};

class IntegerPropertyTest : public ::testing::TestWithParam<IntegerProperty> {};

// On a tracker with buffers: refused writes leave them current, accepted ones stale them or not.
TEST_P(IntegerPropertyTest, BoundsRefusalsStalenessAndNullLocation)
{
    const auto &[get, put, lowest_accepted, stales, message] = GetParam();
    Tracker tracker;
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    LONG initial = 0;
    EXPECT_EQ((tracker.*get)(&initial), S_OK);
    if (message) {
        EXPECT_TRUE(failed_with((tracker.*put)(lowest_accepted - 1), E_INVALIDARG, message));
        EXPECT_TRUE(failed_with((tracker.*put)(lowest), E_INVALIDARG, message));
    }
    EXPECT_FALSE(tracker.properties_changed()) << "after refused writes";
    for (LONG good : {initial, lowest_accepted, highest, initial}) {
        LONG value = -99;
        EXPECT_EQ((tracker.*put)(good), S_OK) << good;
        EXPECT_EQ(tracker.properties_changed(), stales) << good;
        EXPECT_EQ((tracker.*get)(&value), S_OK);
        EXPECT_EQ(value, good);
    }
    EXPECT_FALSE(take_error_record()) << "a success leaves no record";
    EXPECT_TRUE(failed_with((tracker.*get)(nullptr), E_POINTER, expected::null_pointer));
}

INSTANTIATE_TEST_SUITE_P(Each, IntegerPropertyTest, ::testing::ValuesIn(integer_properties));

// A fresh tracker tracks 192 × 144 frames as the library does with a 5 × 5 window, no
// pyramid and 5 iterations or a step under 0.1, takes up to 400 points and leaves no residues.
TEST(TrackerSettings, AFreshTrackerTracksWithItsDocumentedSettings)
{
    const cv::Mat a = textured_frame(192, 144), b = textured_frame(192, 144, 0.8, -0.6);
    const auto points = grid_points(192, 144, 10, 9);
    TrackResult library;
    cv::calcOpticalFlowPyrLK(a, b, points, library.points, library.status, library.residue, cv::Size(5, 5), 0,
                             cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 5, 0.1), 0);
    Tracker tracker;
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    const TrackResult direct = track_direct(tracker, a, b, points);
    ASSERT_EQ(direct.result, S_OK);
    EXPECT_EQ(direct.points, library.points);
    EXPECT_EQ(direct.status, library.status);

    EXPECT_EQ(track_matrix(tracker, a, b, std::vector(400, points[0])).result, S_OK);
    OwnedVariant residue;
    EXPECT_TRUE(failed_with(tracker.get_match_residue(residue.get()), E_FAIL, expected::no_residue));
    EXPECT_TRUE(failed_with(track_matrix(tracker, a, b, std::vector(401, points[0])).result, E_INVALIDARG,
                            expected::too_many_features));
}

TEST(TrackerSettings, EpsilonAcceptsOnlyPositiveNumbers)
{
    using limits = std::numeric_limits<float>;
    Tracker tracker;
    for (float bad : {0.0f, -0.0f, -0.5f, -limits::infinity(), limits::quiet_NaN(), -limits::quiet_NaN()})
        EXPECT_TRUE(failed_with(tracker.put_stop_epsilon(bad), E_INVALIDARG, expected::stop_epsilon)) << bad;
    for (float good : {limits::denorm_min(), limits::infinity()})
        EXPECT_EQ(tracker.put_stop_epsilon(good), S_OK) << good;
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    EXPECT_TRUE(failed_with(tracker.get_match_residue(nullptr), E_POINTER, expected::null_pointer));
}

// Unregistered: the record has no source, and successes leave it; both own interfaces announce it.
TEST(TrackerErrorRecord, HoldsTheMessageWithoutASourceAndIsAnnounced)
{
    Tracker tracker;
    const HRESULT own = tracker.report_error("own");
    ASSERT_EQ(tracker.put_lines(48), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    EXPECT_TRUE(failed_with(own, DISP_E_EXCEPTION, "own"));
    EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(IID_IMorvane), S_OK);
    EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(IID__IMorvane), S_OK);
    for (const IID &other : {IID_IUnknown, IID_IDispatch, IID_ISupportErrorInfo, GUID_NULL})
        EXPECT_EQ(tracker.InterfaceSupportsErrorInfo(other), S_FALSE);
}

// A refusal leaves no buffers and the stale mark, until sensible sizes come back.
TEST(TrackerBuffers, CreateAcceptsOnlySizesItCanDecimateAndAllocate)
{
    // 192 × 144 divides by 16; 200 columns do not divide by 32.
    Tracker accepted;
    configure(accepted, {192, 144, 2, 2, 4});
    EXPECT_EQ(accepted.create_morvane(), S_OK);
    const std::tuple<Settings, HRESULT, const char *> rows[] = {
        {{200, 128, 2, 2, 5}, E_FAIL, expected::decimation},
        {{1 << 30, 1 << 30, 2, 2, highest}, E_FAIL, expected::decimation},
        // 2^29 points of 8 bytes no longer fit a 32-bit size; 2^48 bytes per pyramid fit nowhere.
        {{192, 144, 2, 2, 0, 5, 0.1f, 1 << 29}, E_OUTOFMEMORY, expected::out_of_memory},
        {{1 << 24, 1 << 24}, E_OUTOFMEMORY, expected::out_of_memory},
    };
    for (const auto &[settings, code, message] : rows) {
        SCOPED_TRACE(::testing::Message() << settings.lines << " lines, " << settings.levels);
        Tracker tracker;
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        configure(tracker, settings);
        EXPECT_TRUE(failed_with(tracker.create_morvane(), code, message));
        EXPECT_EQ(tracker.pyramid_a(), nullptr);
        EXPECT_EQ(tracker.pyramid_b(), nullptr);
        EXPECT_TRUE(tracker.properties_changed());
        configure(tracker, Settings{});
        EXPECT_EQ(tracker.create_morvane(), S_OK);
    }
}

} // namespace
} // namespace morvane::test
