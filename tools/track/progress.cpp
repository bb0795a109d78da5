// Progress lines, redrawn on a terminal and spaced out in logs.
#include "progress.h"

#include <string>

#include <unistd.h>

namespace morvane::track {

namespace {

// Plain lines are for logs: one every few seconds is enough.
constexpr std::chrono::seconds plain_interval{5};
constexpr std::chrono::milliseconds redraw_interval{100};

} // namespace

Progress::Progress(bool quiet, std::optional<long> total)
    : enabled_(!quiet), terminal_(isatty(STDERR_FILENO) == 1), total_(total),
      started_(std::chrono::steady_clock::now()), last_shown_(started_)
{
}

double Progress::rate(long frames) const
{
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started_;
    return elapsed.count() > 0.0 ? static_cast<double>(frames) / elapsed.count() : 0.0;
}

void Progress::update(long frames)
{
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_shown_ < (terminal_ ? std::chrono::duration_cast<std::chrono::milliseconds>(redraw_interval)
                                       : std::chrono::duration_cast<std::chrono::milliseconds>(plain_interval)))
        return;
    last_shown_ = now;
    const double fps = rate(frames);
    std::string line = "frame " + std::to_string(frames);
    if (total_)
        line += " of " + std::to_string(*total_);
    char figures[96];
    std::snprintf(figures, sizeof figures, ", %.1f fps", fps);
    line += figures;
    if (total_ && fps > 0.0 && *total_ >= frames) {
        std::snprintf(figures, sizeof figures, ", %.0f s left", static_cast<double>(*total_ - frames) / fps);
        line += figures;
    }
    if (terminal_) {
        // Carriage return, the line, and a clear to its end.
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        drawn_ = true;
    } else {
        std::fprintf(stderr, "morvane-track: %s\n", line.c_str());
    }
    std::fflush(stderr);
}

void Progress::finish()
{
    if (drawn_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        drawn_ = false;
    }
}

} // namespace morvane::track
