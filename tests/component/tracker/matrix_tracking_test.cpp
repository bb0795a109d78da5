// The matrix call and the residue read-out: check order, refused shapes and types, residues.
#include "test_support.h"

namespace morvane::test {
namespace {

constexpr LONG columns = 96, lines = 64, capacity = 10;
constexpr ULONG c = columns, l = lines;

// A variant the call must not touch: clearing or replacing it shows.
OwnedVariant sentinel() { return any_matrix(VT_I4, {1}); }
bool is_sentinel(const VARIANT &v) { return v.vt == (VT_ARRAY | VT_I4); }

// An array of `stored` elements in a variant tagged as holding `tag`.
OwnedVariant tagged(VARTYPE stored, VARTYPE tag, std::vector<ULONG> counts, bool keep_recorded_type)
{
    OwnedVariant matrix = any_matrix(stored, std::move(counts));
    matrix.get()->vt = VT_ARRAY | tag;
    if (!keep_recorded_type)
        matrix.get()->parray->fFeatures &= static_cast<USHORT>(~FADF_HAVEVARTYPE);
    return matrix;
}

// A tracker of the frames' size and capacity, with its buffers made.
void prepare(Tracker &tracker)
{
    configure(tracker, Settings{columns, lines, 2, 2, 0, 5, 0.1f, capacity});
    ASSERT_EQ(tracker.create_morvane(), S_OK);
}

class MatrixTracking : public ::testing::Test {
protected:
    void SetUp() override { prepare(tracker); }
    ::testing::AssertionResult refused(const VARIANT &a, const VARIANT &b, const VARIANT &f, const char *message)
    {
        OwnedVariant matches = sentinel();
        const auto result = failed_with(tracker.track_corners(a, b, f, matches.get()), E_INVALIDARG, message);
        return result && !is_sentinel(*matches.get()) ? ::testing::AssertionFailure() << "matches written" : result;
    }

    Tracker tracker;
    const cv::Mat frame_a = textured_frame(columns, lines), frame_b = textured_frame(columns, lines, 0.4, -0.3);
    std::vector<cv::Point2f> points{{20.0f, 20.0f}, {40.5f, 30.25f}, {70.0f, 44.0f}, {50.0f, 20.0f}, {30.0f, 40.0f}};
};

// Case k breaks check k and every later one it can: check k's message wins, and nothing changes.
TEST_F(MatrixTracking, ChecksComeInTheirOrder)
{
    const std::pair<HRESULT, const char *> expected[] = {
        {E_POINTER, expected::null_pointer},         {E_FAIL, expected::not_allocated},
        {E_FAIL, expected::stale},                   {E_INVALIDARG, expected::invalid_argument},
        {E_INVALIDARG, expected::invalid_type},      {E_INVALIDARG, expected::image_dimension},
        {E_INVALIDARG, expected::too_many_features}, {E_INVALIDARG, expected::feature_format},
        {E_INVALIDARG, expected::image_size},
    };
    for (int k = 1; k <= 9; ++k) {
        SCOPED_TRACE(k);
        Tracker t;
        prepare(t);
        ASSERT_TRUE(k > 3 || t.put_max_features(capacity) == S_OK); // stale, and up to 2 released
        ASSERT_TRUE(k > 2 || t.destroy_morvane() == S_OK);
        OwnedVariant image_a =
            k <= 6 ? any_matrix(k <= 5 ? VT_I4 : VT_UI1, {c, l, 2}) : frame_matrix(frame_a);
        OwnedVariant image_b = any_matrix(VT_UI1, {l, c});
        OwnedVariant features = k <= 8 ? any_matrix(VT_R8, {ULONG(k <= 7 ? capacity + 1 : 5), 3})
                                       : points_matrix(points);
        if (k <= 4) {
            VariantClear(features.get());
            features.get()->vt = VT_R8;
        }
        OwnedVariant matches = sentinel();
        const bool was_allocated = t.allocated(), was_stale = t.properties_changed();
        const HRESULT result = t.track_corners(*image_a, *image_b, *features, k == 1 ? nullptr : matches.get());
        EXPECT_TRUE(failed_with(result, expected[k - 1].first, expected[k - 1].second));
        EXPECT_TRUE(is_sentinel(*matches.get()));
        EXPECT_EQ(t.allocated(), was_allocated);
        EXPECT_EQ(t.properties_changed(), was_stale);
    }
}

// Each row replaces one argument (0, 1: a frame; 2: the features) of a good call.
TEST_F(MatrixTracking, TypesAndShapesAreRefused)
{
    OwnedVariant byref;
    double cells[10] = {};
    byref.get()->vt = VT_ARRAY | VT_BYREF | VT_R8;
    byref.get()->pdblVal = cells; // never followed: the type is refused first
    std::tuple<const char *, int, OwnedVariant, const char *> cases[] = {
        {"features by reference", 2, std::move(byref), expected::invalid_type},
        {"features of bytes, type not recorded", 2, tagged(VT_UI1, VT_R8, {4, 2}, false), expected::invalid_type},
        {"features of 64-bit integers", 2, tagged(VT_I8, VT_R8, {4, 2}, true), expected::invalid_type},
        {"first frame of 16-bit integers", 0, tagged(VT_I2, VT_UI1, {c, l}, true), expected::invalid_type},
        {"second frame of signed bytes", 1, tagged(VT_I1, VT_UI1, {c, l}, true), expected::invalid_type},
        {"one-dimensional features", 2, any_matrix(VT_R8, {10}), expected::feature_dimension},
        {"three-dimensional features", 2, any_matrix(VT_R8, {5, 2, 1}), expected::feature_dimension},
        {"transposed image", 0, any_matrix(VT_UI1, {l, c}), expected::image_size},
        {"no first frame", 0, OwnedVariant(nullptr, VT_UI1), expected::null_matrix},
        {"no second frame", 1, OwnedVariant(nullptr, VT_UI1), expected::null_matrix},
        {"no features", 2, OwnedVariant(nullptr, VT_R8), expected::null_matrix},
    };
    const OwnedVariant good[] = {frame_matrix(frame_a), frame_matrix(frame_b), points_matrix(points)};
    for (auto &[name, replaced, replacement, message] : cases) {
        const VARIANT &with = *replacement;
        const auto pick = [&, at = replaced](int i) { return i == at ? with : *good[i]; };
        EXPECT_TRUE(refused(pick(0), pick(1), pick(2), message)) << name;
    }
    std::get<2>(cases[0]).get()->vt = VT_EMPTY; // byref held no array of its own
}

TEST_F(MatrixTracking, ResiduesLastUntilTheNextRunThatComputesThem)
{
    OwnedVariant residue = sentinel();
    EXPECT_TRUE(failed_with(tracker.get_match_residue(residue.get()), E_FAIL, expected::no_residue));
    EXPECT_TRUE(is_sentinel(*residue.get()));
    ASSERT_EQ(track_matrix(tracker, frame_a, frame_b, points).residue.size(), 0u) << "residues off: none";

    ASSERT_EQ(tracker.put_calc_match_residue(-7), S_OK);
    const TrackResult direct = track_direct(tracker, frame_a, frame_b, points);
    ASSERT_EQ(track_matrix(tracker, frame_a, frame_b, points).result, S_OK);
    ASSERT_EQ(tracker.get_match_residue(residue.get()), S_OK);
    const MatrixView first = read_double_matrix(*residue.get());
    EXPECT_EQ(first.counts, (std::vector<ULONG>{ULONG(points.size())}));
    EXPECT_EQ(first.lower_bounds, (std::vector<LONG>{1}));
    EXPECT_EQ(first.cells, std::vector<double>(direct.residue.begin(), direct.residue.end()));

    // Neither a run with residues off nor a refused run changes them.
    ASSERT_EQ(tracker.put_calc_match_residue(0), S_OK);
    const std::vector<cv::Point2f> others = {{25.0f, 25.0f}, {60.0f, 30.0f}};
    ASSERT_EQ(track_matrix(tracker, frame_b, frame_a, others).result, S_OK);
    ASSERT_EQ(tracker.put_calc_match_residue(1), S_OK);
    ASSERT_EQ(tracker.put_feature_width(std::numeric_limits<LONG>::max()), S_OK);
    OwnedVariant a = frame_matrix(frame_a), b = frame_matrix(frame_b), f = points_matrix(others);
    EXPECT_TRUE(refused(*a, *b, *f, expected::window_too_large));
    OwnedVariant still;
    ASSERT_EQ(tracker.get_match_residue(still.get()), S_OK);
    EXPECT_EQ(read_double_matrix(*still.get()).cells, first.cells);

    // An empty run forgets them; a variant given again has its old matrix replaced.
    ASSERT_EQ(tracker.put_feature_width(2), S_OK);
    OwnedVariant none = any_matrix(VT_R8, {0, 2}), matches;
    ASSERT_EQ(tracker.track_corners(*a, *b, *f, matches.get()), S_OK);
    ASSERT_EQ(tracker.track_corners(*a, *b, *none, matches.get()), S_OK);
    EXPECT_EQ(read_double_matrix(*matches.get()).counts, (std::vector<ULONG>{0, 3}));
    EXPECT_TRUE(failed_with(tracker.get_match_residue(still.get()), E_FAIL, expected::no_residue));

    // Released: the buffer test comes first; made again: none computed yet.
    ASSERT_EQ(track_matrix(tracker, frame_a, frame_b, points).result, S_OK);
    ASSERT_EQ(tracker.destroy_morvane(), S_OK);
    OwnedVariant released = sentinel();
    EXPECT_TRUE(failed_with(tracker.get_match_residue(released.get()), E_FAIL, expected::not_allocated));
    EXPECT_TRUE(is_sentinel(*released.get()));
    EXPECT_EQ(tracker.destroy_morvane(), S_OK);
    ASSERT_EQ(tracker.create_morvane(), S_OK);
    EXPECT_TRUE(failed_with(tracker.get_match_residue(released.get()), E_FAIL, expected::no_residue));
}

// Points lost off the frame, beyond float range or on flat ground have status 0 and residue 0.
TEST_F(MatrixTracking, LostPointsHaveNoResidue)
{
    ASSERT_EQ(tracker.put_calc_match_residue(1), S_OK);
    const cv::Mat flat(lines, columns, CV_8UC1, cv::Scalar(90));
    std::vector<cv::Point2f> off_frame = points;
    off_frame[1] = cv::Point2f(-50.0f, 30.0f);
    off_frame[3] = cv::Point2f(50.0f, 400.0f);
    off_frame[4] = cv::Point2f(static_cast<float>(1e300), 5.0f);
    for (const bool on_flat_ground : {false, true}) {
        ASSERT_EQ(track_matrix(tracker, frame_a, frame_b, points).result, S_OK);
        const TrackResult r = on_flat_ground ? track_matrix(tracker, flat, flat, points)
                                             : track_matrix(tracker, frame_a, frame_b, off_frame);
        ASSERT_EQ(r.residue.size(), points.size());
        for (size_t i = 0; i < points.size(); ++i)
            EXPECT_EQ(r.status[i] == 0 && r.residue[i] == 0.0f, on_flat_ground || i % 2 == 1 || i == 4) << i;
    }
}

} // namespace
} // namespace morvane::test
