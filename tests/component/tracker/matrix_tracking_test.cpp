// The matrix call and the residue read-out: the order of the checks, the
// shapes and types refused, the result matrices, and the life of residues.
#include "test_support.h"
#include "expected_messages.h"

#include <limits>

namespace morvane::test {
namespace {

constexpr LONG columns = 96;
constexpr LONG lines = 64;
constexpr LONG capacity = 10;

class MatrixTracking : public ::testing::Test {
protected:
    void SetUp() override
    {
        configure(tracker, Settings{columns, lines, 2, 0, 5, 0.1f});
        ASSERT_EQ(tracker.put_max_features(capacity), S_OK);
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        frame_a = textured_frame(columns, lines);
        frame_b = textured_frame(columns, lines, 0.4, -0.3);
        points = {{20.0f, 20.0f}, {40.5f, 30.25f}, {70.0f, 44.0f}, {50.0f, 20.0f}, {30.0f, 40.0f}};
    }

    // A variant the call must not touch: any change shows.
    static OwnedVariant sentinel()
    {
        OwnedVariant v;
        v.get()->vt = VT_I4;
        v.get()->lVal = 4242;
        return v;
    }
    static bool is_sentinel(const VARIANT &v) { return v.vt == VT_I4 && v.lVal == 4242; }

    Tracker tracker;
    cv::Mat frame_a, frame_b;
    std::vector<cv::Point2f> points;
};

// Each case breaks its own check and, where the inputs allow, every later one:
// the message of the first check in the list must win.
TEST_F(MatrixTracking, ChecksComeInTheirOrder)
{
    struct Expected {
        HRESULT code;
        const char *message;
    };
    const Expected expected[] = {
        {E_POINTER, expected::null_pointer},   {E_FAIL, expected::not_allocated},
        {E_FAIL, expected::stale},             {E_INVALIDARG, expected::invalid_argument},
        {E_INVALIDARG, expected::invalid_type}, {E_INVALIDARG, expected::image_dimension},
        {E_INVALIDARG, expected::too_many_features}, {E_INVALIDARG, expected::feature_format},
        {E_INVALIDARG, expected::image_size},
    };
    for (int k = 1; k <= 9; ++k) {
        SCOPED_TRACE(k);
        Tracker t;
        configure(t, Settings{columns, lines, 2, 0, 5, 0.1f});
        ASSERT_EQ(t.put_max_features(capacity), S_OK);
        ASSERT_EQ(t.create_morvane(), S_OK);
        if (k <= 2) {
            ASSERT_EQ(t.put_lines(lines), S_OK);  // stale as well as released
            ASSERT_EQ(t.destroy_morvane(), S_OK);
        } else if (k == 3) {
            ASSERT_EQ(t.put_max_features(capacity), S_OK);
        }

        OwnedVariant image_a = k <= 5   ? any_matrix(VT_I4, {ULONG(columns), ULONG(lines), 2})
                               : k <= 6 ? any_matrix(VT_UI1, {ULONG(columns), ULONG(lines), 2})
                                        : frame_matrix(frame_a);
        OwnedVariant image_b = any_matrix(VT_UI1, {ULONG(lines), ULONG(columns)});
        OwnedVariant features = k <= 7   ? any_matrix(VT_R8, {capacity + 1, 3})
                                : k <= 8 ? any_matrix(VT_R8, {5, 3})
                                         : points_matrix(points);
        if (k <= 4) {
            VariantClear(features.get());
            features.get()->vt = VT_R8;
            features.get()->dblVal = 3.5;
        }
        OwnedVariant matches = sentinel();
        const bool was_allocated = t.allocated();
        const bool was_stale = t.properties_changed();
        const HRESULT result = t.track_corners(*image_a, *image_b, *features,
                                               k == 1 ? nullptr : matches.get());
        EXPECT_TRUE(failed_with(result, expected[k - 1].code, expected[k - 1].message));
        EXPECT_TRUE(is_sentinel(*matches.get()));
        EXPECT_EQ(t.allocated(), was_allocated);
        EXPECT_EQ(t.properties_changed(), was_stale);
    }
}

TEST_F(MatrixTracking, CapacityIsTheLimitOfPoints)
{
    std::vector<cv::Point2f> full;
    for (LONG i = 0; i < capacity; ++i)
        full.emplace_back(20.0f + 5.0f * static_cast<float>(i), 30.0f);
    EXPECT_EQ(track_matrix(tracker, frame_a, frame_b, full).result, S_OK);
    full.emplace_back(30.0f, 30.0f);
    OwnedVariant a = frame_matrix(frame_a), b = frame_matrix(frame_b), f = points_matrix(full);
    OwnedVariant matches = sentinel();
    EXPECT_TRUE(failed_with(tracker.track_corners(*a, *b, *f, matches.get()), E_INVALIDARG,
                            expected::too_many_features));
    EXPECT_TRUE(is_sentinel(*matches.get()));
}

TEST_F(MatrixTracking, TypesAndShapesAreRefused)
{
    struct Case {
        const char *name;
        OwnedVariant image_a, features;
        const char *message;
    };
    OwnedVariant scalar, empty, byref;
    scalar.get()->vt = VT_R8;
    scalar.get()->dblVal = 1.0;
    double cells[10] = {};
    byref.get()->vt = VT_ARRAY | VT_BYREF | VT_R8;
    byref.get()->pdblVal = cells;  // never followed: the type is refused first
    Case cases[] = {
        {"empty features", frame_matrix(frame_a), std::move(empty), expected::invalid_argument},
        {"scalar features", frame_matrix(frame_a), std::move(scalar), expected::invalid_argument},
        {"float features", frame_matrix(frame_a), any_matrix(VT_R4, {5, 2}), expected::invalid_type},
        {"features by reference", frame_matrix(frame_a), std::move(byref), expected::invalid_type},
        {"long image", any_matrix(VT_I4, {ULONG(columns), ULONG(lines)}), points_matrix(points),
         expected::invalid_type},
        {"one-dimensional image", any_matrix(VT_UI1, {ULONG(columns * lines)}), points_matrix(points),
         expected::image_dimension},
        {"transposed image", any_matrix(VT_UI1, {ULONG(lines), ULONG(columns)}), points_matrix(points),
         expected::image_size},
        {"one-dimensional features", frame_matrix(frame_a), any_matrix(VT_R8, {10}),
         expected::feature_dimension},
        {"three-dimensional features", frame_matrix(frame_a), any_matrix(VT_R8, {5, 2, 1}),
         expected::feature_dimension},
        {"features of three columns", frame_matrix(frame_a), any_matrix(VT_R8, {5, 3}),
         expected::feature_format},
    };
    OwnedVariant b = frame_matrix(frame_b);
    for (Case &c : cases) {
        OwnedVariant matches = sentinel();
        EXPECT_TRUE(failed_with(tracker.track_corners(*c.image_a, *b, *c.features, matches.get()),
                                E_INVALIDARG, c.message))
            << c.name;
        EXPECT_TRUE(is_sentinel(*matches.get())) << c.name;
    }
    // byref held no array of its own.
    cases[3].features.get()->vt = VT_EMPTY;
}

TEST_F(MatrixTracking, NullArraysAreRefused)
{
    OwnedVariant b = frame_matrix(frame_b);
    OwnedVariant f = points_matrix(points);
    for (int which = 0; which < 3; ++which) {
        OwnedVariant a = frame_matrix(frame_a);
        VARIANT image_a = *a, image_b = *b, features = *f;
        (which == 0 ? image_a : which == 1 ? image_b : features).parray = nullptr;
        OwnedVariant matches = sentinel();
        EXPECT_TRUE(failed_with(tracker.track_corners(image_a, image_b, features, matches.get()),
                                E_INVALIDARG, expected::null_matrix))
            << which;
        EXPECT_TRUE(is_sentinel(*matches.get()));
    }
}

TEST_F(MatrixTracking, SquareFramesAcceptEitherOrientation)
{
    ASSERT_EQ(tracker.put_lines(64), S_OK);
    ASSERT_EQ(tracker.put_columns(64), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    const cv::Mat a = textured_frame(64, 64);
    EXPECT_EQ(track_matrix(tracker, a, a.t(), points).result, S_OK);
}

TEST_F(MatrixTracking, ResultsAreAnNByThreeMatrixOfTheDirectCallsResults)
{
    ASSERT_EQ(tracker.put_calc_match_residue(1), S_OK);
    points.emplace_back(-30.0f, 10.0f);  // outside: not found
    points.emplace_back(static_cast<float>(1e300), 5.0f);  // beyond float range: not found
    const TrackResult direct = track_direct(tracker, frame_a, frame_b, points);
    ASSERT_EQ(direct.result, S_OK);

    OwnedVariant a = frame_matrix(frame_a), b = frame_matrix(frame_b), f = points_matrix(points);
    OwnedVariant matches = sentinel();
    ASSERT_EQ(tracker.track_corners(*a, *b, *f, matches.get()), S_OK);
    const MatrixView view = read_double_matrix(*matches.get());
    const auto n = points.size();
    ASSERT_EQ(view.counts, (std::vector<ULONG>{ULONG(n), 3}));
    EXPECT_EQ(view.lower_bounds, (std::vector<LONG>{1, 1}));
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(view.cells[i], direct.points[i].x) << i;
        EXPECT_EQ(view.cells[n + i], direct.points[i].y) << i;
        EXPECT_EQ(view.cells[2 * n + i], double(direct.status[i])) << i;
        EXPECT_TRUE(view.cells[2 * n + i] == 0.0 || view.cells[2 * n + i] == 1.0) << i;
    }
    EXPECT_EQ(view.cells[2 * n + n - 2], 0.0);
    EXPECT_EQ(view.cells[2 * n + n - 1], 0.0);

    // The same variant again: its old matrix is released and replaced.
    ASSERT_EQ(tracker.track_corners(*a, *b, *f, matches.get()), S_OK);
    EXPECT_EQ(read_double_matrix(*matches.get()).cells, view.cells);
}

TEST_F(MatrixTracking, NoPointsGiveAnEmptyResult)
{
    ASSERT_EQ(tracker.put_calc_match_residue(1), S_OK);
    ASSERT_EQ(track_matrix(tracker, frame_a, frame_b, points).result, S_OK);
    OwnedVariant a = frame_matrix(frame_a), b = frame_matrix(frame_b);
    OwnedVariant none = any_matrix(VT_R8, {0, 2});
    OwnedVariant matches = sentinel();
    ASSERT_EQ(tracker.track_corners(*a, *b, *none, matches.get()), S_OK);
    const MatrixView view = read_double_matrix(*matches.get());
    EXPECT_EQ(view.counts, (std::vector<ULONG>{0, 3}));
    EXPECT_EQ(view.lower_bounds, (std::vector<LONG>{1, 1}));
    // The earlier residues are gone with the empty run.
    OwnedVariant residue;
    EXPECT_TRUE(failed_with(tracker.get_match_residue(residue.get()), E_FAIL, expected::no_residue));
}

TEST_F(MatrixTracking, ResiduesLastUntilTheNextRunThatComputesThem)
{
    OwnedVariant residue = sentinel();
    EXPECT_TRUE(failed_with(tracker.get_match_residue(residue.get()), E_FAIL, expected::no_residue));
    EXPECT_TRUE(is_sentinel(*residue.get()));

    // Residues off: still none.
    ASSERT_EQ(track_matrix(tracker, frame_a, frame_b, points).result, S_OK);
    EXPECT_TRUE(failed_with(tracker.get_match_residue(residue.get()), E_FAIL, expected::no_residue));

    ASSERT_EQ(tracker.put_calc_match_residue(-7), S_OK);
    const TrackResult direct = track_direct(tracker, frame_a, frame_b, points);
    ASSERT_EQ(track_matrix(tracker, frame_a, frame_b, points).result, S_OK);
    ASSERT_EQ(tracker.get_match_residue(residue.get()), S_OK);
    const MatrixView first = read_double_matrix(*residue.get());
    EXPECT_EQ(first.counts, (std::vector<ULONG>{ULONG(points.size())}));
    EXPECT_EQ(first.lower_bounds, (std::vector<LONG>{1}));
    for (size_t i = 0; i < points.size(); ++i)
        EXPECT_EQ(first.cells[i], direct.residue[i]) << i;

    // A run with residues off, other points, other frames: the residues stay.
    ASSERT_EQ(tracker.put_calc_match_residue(0), S_OK);
    const std::vector<cv::Point2f> others = {{25.0f, 25.0f}, {60.0f, 30.0f}};
    ASSERT_EQ(track_matrix(tracker, frame_b, frame_a, others).result, S_OK);
    OwnedVariant again;
    ASSERT_EQ(tracker.get_match_residue(again.get()), S_OK);
    EXPECT_EQ(read_double_matrix(*again.get()).cells, first.cells);

    // A refused run leaves them as well.
    ASSERT_EQ(tracker.put_calc_match_residue(1), S_OK);
    ASSERT_EQ(tracker.put_feature_width(std::numeric_limits<LONG>::max()), S_OK);
    OwnedVariant a = frame_matrix(frame_a), b = frame_matrix(frame_b), f = points_matrix(others);
    OwnedVariant matches = sentinel();
    EXPECT_TRUE(failed_with(tracker.track_corners(*a, *b, *f, matches.get()), E_INVALIDARG,
                            expected::window_too_large));
    EXPECT_TRUE(is_sentinel(*matches.get()));
    OwnedVariant still;
    ASSERT_EQ(tracker.get_match_residue(still.get()), S_OK);
    EXPECT_EQ(read_double_matrix(*still.get()).cells, first.cells);

    // Released: the buffer test comes first.
    ASSERT_EQ(tracker.destroy_morvane(), S_OK);
    OwnedVariant released = sentinel();
    EXPECT_TRUE(failed_with(tracker.get_match_residue(released.get()), E_FAIL, expected::not_allocated));
    EXPECT_TRUE(is_sentinel(*released.get()));
}

// Points lost off the frame, and points lost on flat ground (where the library
// writes no residue at all), have none, though an earlier run left residues.
TEST_F(MatrixTracking, LostPointsHaveNoResidue)
{
    ASSERT_EQ(tracker.put_calc_match_residue(1), S_OK);
    const cv::Mat flat(lines, columns, CV_8UC1, cv::Scalar(90));
    std::vector<cv::Point2f> off_frame = points;
    off_frame[1] = cv::Point2f(-50.0f, 30.0f);
    off_frame[3] = cv::Point2f(50.0f, 400.0f);
    for (const bool on_flat_ground : {false, true}) {
        ASSERT_EQ(track_matrix(tracker, frame_a, frame_b, points).result, S_OK);
        const TrackResult r = on_flat_ground ? track_matrix(tracker, flat, flat, points)
                                             : track_matrix(tracker, frame_a, frame_b, off_frame);
        ASSERT_EQ(r.result, S_OK);
        ASSERT_EQ(r.residue.size(), points.size());
        for (const size_t i : on_flat_ground ? std::vector<size_t>{0, 1, 2, 3, 4} : std::vector<size_t>{1, 3}) {
            EXPECT_EQ(r.status[i], 0) << i;
            EXPECT_EQ(r.residue[i], 0.0f) << i;
        }
    }
}

} // namespace
} // namespace morvane::test
