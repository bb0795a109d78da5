// A whole run: frames in, tracks out, summary at the end.
#pragma once

#include "options.h"

namespace morvane::track {

// Exit statuses of a run.
inline constexpr int run_complete = 0;
inline constexpr int run_failed = 1;
inline constexpr int run_interrupted = 130;

int run_tracking(const Options &options);

} // namespace morvane::track
