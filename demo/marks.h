// The mark drawn around a point: the ellipse inscribed in a box reaching two pixels
// to each side, drawn with a red pen two pixels wide.
#pragma once

#include "images.h"

#include <cstdint>
#include <optional>

namespace trackdemo {

struct Pen {
    int width;
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    bool operator==(const Pen &) const = default;
};

inline constexpr Pen mark_pen{2, 255, 0, 0};

// The box of the mark around (x, y): each side is x or y minus or plus 2, formed in
// double precision and truncated toward zero, so 10.9 gives 8 to 12 and -0.5 gives
// -2 to 1. A point that is not finite or whose box does not fit in an int has no
// mark (the conversion would be undefined).
std::optional<Rect> mark_box(float x, float y);

} // namespace trackdemo
