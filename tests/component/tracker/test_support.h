// Shared helpers of the tracker tests: synthetic frames with a known motion,
// automation matrices built from them, the calling thread's error record, and
// one runner per tracking call with a common result shape.
#pragma once

#include "textured_frame.h"
#include "tracker.h"

#include <opencv2/core.hpp>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace morvane::test {

// Points on a regular grid, at least margin pixels inside every border.
std::vector<cv::Point2f> grid_points(int columns, int lines, int margin, int step);

// The calling thread's error record, taken (GetErrorInfo clears it).
struct ErrorRecord {
    std::string description;
    std::optional<std::string> source;
    GUID guid{};
};
std::optional<ErrorRecord> take_error_record();
// Drops whatever record the calling thread holds.
void clear_error_record();

// Checks that a member failed with code and left message as the thread's record.
::testing::AssertionResult failed_with(HRESULT result, HRESULT code, const std::string &message);

// A variant that owns what it holds and clears it when it goes.
class OwnedVariant {
public:
    OwnedVariant();
    explicit OwnedVariant(SAFEARRAY *array, VARTYPE element_type);
    ~OwnedVariant();
    OwnedVariant(const OwnedVariant &) = delete;
    OwnedVariant &operator=(const OwnedVariant &) = delete;
    OwnedVariant(OwnedVariant &&other) noexcept;
    VARIANT *get() { return &value_; }
    const VARIANT &operator*() const { return value_; }

private:
    VARIANT value_;
};

// A frame as a byte matrix: dimension 1 = columns, dimension 2 = lines.
OwnedVariant frame_matrix(const cv::Mat &frame);
// Points as an n × 2 double matrix.
OwnedVariant points_matrix(const std::vector<cv::Point2f> &points);
// A matrix of element type vt with the given element counts, dimension 1 first.
OwnedVariant any_matrix(VARTYPE vt, std::vector<ULONG> counts);

// Element counts and lower bounds of a returned matrix, dimension 1 first, and its doubles.
struct MatrixView {
    std::vector<ULONG> counts;
    std::vector<LONG> lower_bounds;
    std::vector<double> cells;
};
MatrixView read_double_matrix(const VARIANT &v);

// What a tracking run gave, whichever call made it.
struct TrackResult {
    HRESULT result = E_FAIL;
    std::vector<cv::Point2f> points;
    std::vector<unsigned char> status;
    std::vector<float> residue;
};
TrackResult track_direct(Tracker &tracker, const cv::Mat &a, const cv::Mat &b,
                         const std::vector<cv::Point2f> &points, bool residues = true);
TrackResult track_matrix(Tracker &tracker, const cv::Mat &a, const cv::Mat &b,
                         const std::vector<cv::Point2f> &points);

// Sets the frame size, window, depth and stop rule of a tracker.
struct Settings {
    LONG columns = 192;
    LONG lines = 144;
    LONG half_window = 2;
    LONG levels = 0;
    LONG iterations = 5;
    FLOAT epsilon = 0.1f;
};
void configure(Tracker &tracker, const Settings &settings);

} // namespace morvane::test
