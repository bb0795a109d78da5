// Start points given by the user: a CSV file of x,y pairs, one a line, with
// an optional header row.
#pragma once

#include <opencv2/core.hpp>

#include <optional>
#include <string>
#include <vector>

namespace morvane::track {

// The points of the file, or nothing and why (naming the line) in `error`.
std::optional<std::vector<cv::Point2f>> read_start_points(const std::string &file, std::string &error);

} // namespace morvane::track
