// Orders names as people count: "frame2" before "frame10".
#pragma once

#include <string>

namespace morvane::track {

// True when a comes before b, digit runs compared by their value.
bool natural_less(const std::string &a, const std::string &b);

} // namespace morvane::track
