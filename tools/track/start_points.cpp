// Start points read from a CSV file, refused when they are not finite floats.
#include "start_points.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace morvane::track {

namespace {

// "x,y" with optional spaces and further columns ignored.
std::optional<cv::Point2f> parse_point(const std::string &line)
{
    const char *text = line.c_str();
    char *end = nullptr;
    const double x = std::strtod(text, &end);
    if (end == text)
        return std::nullopt;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != ',')
        return std::nullopt;
    const char *second = end + 1;
    const double y = std::strtod(second, &end);
    if (end == second)
        return std::nullopt;
    // Judged as the floats they become: a double beyond float range turns infinite.
    const cv::Point2f point(static_cast<float>(x), static_cast<float>(y));
    if (!std::isfinite(point.x) || !std::isfinite(point.y))
        return std::nullopt;
    return point;
}

} // namespace

std::optional<std::vector<cv::Point2f>> read_start_points(const std::string &file, std::string &error)
{
    std::ifstream in(file);
    if (!in) {
        error = "cannot read the points file " + file + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::vector<cv::Point2f> points;
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        const auto point = parse_point(line);
        if (point) {
            points.push_back(*point);
        } else if (number != 1) {
            // Only the first line may be a header.
            error = "the points file " + file + " has no x,y pair on line " + std::to_string(number);
            return std::nullopt;
        }
    }
    if (points.empty()) {
        error = "the points file " + file + " holds no points";
        return std::nullopt;
    }
    return points;
}

} // namespace morvane::track
