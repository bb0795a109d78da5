// Matrices whose variant tag names the right type over an array of other
// elements: refused before any element is read.
#include "test_support.h"

#include <gtest/gtest.h>

namespace morvane::test {
namespace {

// An array of `stored` elements in a variant tagged with `tag`.
OwnedVariant tagged(VARTYPE stored, VARTYPE tag, std::vector<ULONG> counts, bool keep_recorded_type = true)
{
    OwnedVariant matrix = any_matrix(stored, std::move(counts));
    matrix.get()->vt = VT_ARRAY | tag;
    if (!keep_recorded_type)
        matrix.get()->parray->fFeatures &= static_cast<USHORT>(~FADF_HAVEVARTYPE);
    return matrix;
}

TEST(MatrixElements, ArraysOfOtherElementsThanTheirTagAreRefused)
{
    const Settings settings;
    const ULONG columns = static_cast<ULONG>(settings.columns);
    const ULONG lines = static_cast<ULONG>(settings.lines);
    const struct {
        const char *name;
        int argument; // 0, 1: a frame; 2: the features
        VARTYPE stored;
        bool keep_recorded_type;
    } cases[] = {
        {"features of bytes", 2, VT_UI1, true},
        {"features of bytes, type not recorded", 2, VT_UI1, false},
        {"features of floats", 2, VT_R4, true},
        {"features of 64-bit integers", 2, VT_I8, true},
        {"first frame of 16-bit integers", 0, VT_I2, true},
        {"second frame of doubles, type not recorded", 1, VT_R8, false},
        {"second frame of signed bytes", 1, VT_I1, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Tracker tracker;
        configure(tracker, settings);
        ASSERT_EQ(tracker.put_max_features(4), S_OK);
        ASSERT_EQ(tracker.create_morvane(), S_OK);
        const auto frame = [&](int argument) {
            return c.argument == argument ? tagged(c.stored, VT_UI1, {columns, lines}, c.keep_recorded_type)
                                          : any_matrix(VT_UI1, {columns, lines});
        };
        OwnedVariant first = frame(0);
        OwnedVariant second = frame(1);
        OwnedVariant features =
            c.argument == 2 ? tagged(c.stored, VT_R8, {4, 2}, c.keep_recorded_type) : any_matrix(VT_R8, {4, 2});
        OwnedVariant matches;
        EXPECT_TRUE(failed_with(tracker.track_corners(*first, *second, *features, matches.get()),
                                E_INVALIDARG, "Invalid Data Type"));
        EXPECT_EQ(matches.get()->vt, VT_EMPTY);
    }
}

} // namespace
} // namespace morvane::test
