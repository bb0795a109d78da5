// Progress on standard error: one line redrawn in place on a terminal, plain
// lines now and then otherwise.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>

namespace morvane::track {

class Progress {
public:
    // Silent when quiet; total is the frame count when known.
    Progress(bool quiet, std::optional<long> total);

    // Reports that `frames` frames are done.
    void update(long frames);
    // Ends the in-place line before other text follows.
    void finish();

    // Frames per second since the start.
    double rate(long frames) const;

private:
    bool enabled_;
    bool terminal_;
    std::optional<long> total_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point last_shown_;
    bool drawn_ = false;
};

} // namespace morvane::track
