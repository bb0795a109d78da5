// The box of the mark drawn around a point, refused where its coordinates do not fit an int.
#include "marks.h"

#include <cmath>
#include <limits>

namespace trackdemo {

namespace {

constexpr double half_extent = 2.0;

std::optional<int> truncate_to_int(double value)
{
    // Truncation toward zero keeps every value strictly between INT_MIN - 1 and INT_MAX + 1.
    constexpr double below = static_cast<double>(std::numeric_limits<int>::min()) - 1.0;
    constexpr double above = static_cast<double>(std::numeric_limits<int>::max()) + 1.0;
    if (!std::isfinite(value) || value <= below || value >= above)
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace

std::optional<Rect> mark_box(float x, float y)
{
    const double cx = x;
    const double cy = y;
    const auto left = truncate_to_int(cx - half_extent);
    const auto top = truncate_to_int(cy - half_extent);
    const auto right = truncate_to_int(cx + half_extent);
    const auto bottom = truncate_to_int(cy + half_extent);
    if (!left || !top || !right || !bottom)
        return std::nullopt;
    return Rect{*left, *top, *right, *bottom};
}

} // namespace trackdemo
