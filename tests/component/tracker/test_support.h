// Helpers of the tracker tests: grid points, error records, matrices, one runner per call.
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

// The thread's error record, taken (GetErrorInfo clears it): description, then [source] if any.
std::optional<std::string> take_error_record();

// Checks that a member failed with code and left message as the thread's record.
::testing::AssertionResult failed_with(HRESULT result, HRESULT code, const std::string &message);

// A variant that owns what it holds.
class OwnedVariant {
public:
    OwnedVariant() { VariantInit(&value_); }
    OwnedVariant(SAFEARRAY *array, VARTYPE element_type) : OwnedVariant()
    {
        value_.vt = static_cast<VARTYPE>(VT_ARRAY | element_type);
        value_.parray = array;
    }
    OwnedVariant(OwnedVariant &&other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    ~OwnedVariant() { VariantClear(&value_); }
    VARIANT *get() { return &value_; }
    const VARIANT &operator*() const { return value_; }

private:
    VARIANT value_;
};

// A frame (dimension 1 = columns), n × 2 points, any matrix of vt; counts dimension 1 first.
OwnedVariant frame_matrix(const cv::Mat &frame);
OwnedVariant points_matrix(const std::vector<cv::Point2f> &points);
OwnedVariant any_matrix(VARTYPE vt, std::vector<ULONG> counts);

// Element counts and lower bounds of a double matrix, dimension 1 first, and its cells.
struct MatrixView {
    std::vector<ULONG> counts;
    std::vector<LONG> lower_bounds;
    std::vector<double> cells;
};
MatrixView read_double_matrix(const VARIANT &v);

// What a run gave; direct: arrays start as -1, 7, -1, and pointer argument `missing` is null.
struct TrackResult {
    HRESULT result = E_FAIL;
    std::vector<cv::Point2f> points;
    std::vector<unsigned char> status;
    std::vector<float> residue;
};
TrackResult track_direct(Tracker &tracker, const cv::Mat &a, const cv::Mat &b,
                         const std::vector<cv::Point2f> &points, std::optional<LONG> count = {},
                         int missing = -1);
TrackResult track_matrix(Tracker &tracker, const cv::Mat &a, const cv::Mat &b,
                         const std::vector<cv::Point2f> &points);

struct Settings {
    LONG columns = 192, lines = 144, half_width = 2, half_height = 2, levels = 0, iterations = 5;
    FLOAT epsilon = 0.1f;
    LONG max_features = 400;
};
void configure(Tracker &tracker, const Settings &settings);


// Every text a tracker member can leave in the error record, literally.
namespace expected {

inline constexpr char lines[] = "Number of lines must be a positive integer";
inline constexpr char columns[] = "Number of columns must be a positive integer";
inline constexpr char max_features[] = "Number of maximum features must be a positive integer";
inline constexpr char stop_iterations[] = "Number of iterations must be a positive integer";
inline constexpr char stop_epsilon[] = "Epsilon stop valoue must be a positive number";
inline constexpr char feature_width[] = "Feature window width must be a positive integer";
inline constexpr char feature_height[] = "Feature window height must be a positive integer";
inline constexpr char pyramid_levels[] = "Number of pyramid levels should be a non negative integer";

inline constexpr char decimation[] = "Image dimension is incompatible with pyramid decimation.";
inline constexpr char out_of_memory[] = "Not enough memory to allocate the object buffers.";

inline constexpr char null_pointer[] = "Internal Pointer Error";
inline constexpr char negative_count[] = "Number of features must be a non negative integer";
inline constexpr char window_too_large[] = "Feature window size exceeds the supported limit";
inline constexpr char tracking_failed[] = "Feature tracking failed in the image library";

inline constexpr char not_allocated[] = "Object not allocated. Please invoke 'create_morvane()'.";
inline constexpr char stale[] = "Properties have changed. Object must be re-created.";
inline constexpr char invalid_argument[] = "Invalid Input Argument";
inline constexpr char invalid_type[] = "Invalid Data Type";
inline constexpr char null_matrix[] = "Invalid Matrix Pointer";
inline constexpr char image_dimension[] = "Invalid Matrix Dimension";
inline constexpr char feature_dimension[] = "Feature matrix: invalid dimension";
inline constexpr char too_many_features[] = "Number of features exceeds limit";
inline constexpr char feature_format[] = "Feature matrix: invalid format";
inline constexpr char image_size[] = "Incompatible Image Size";
inline constexpr char no_residue[] = "Match residue not computed.";

} // namespace expected

} // namespace morvane::test
