// Every text a tracker member can leave in the error record, written out as
// callers see it: a change of wording in the tracker fails the tests.
#pragma once

namespace morvane::test::expected {

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
inline constexpr char result_matrix[] = "Result matrix could not be created";
inline constexpr char no_residue[] = "Match residue not computed.";

} // namespace morvane::test::expected
