// morvane-track: tracks features through a video or an image sequence with the
// Morvane component and writes the tracks as CSV or JSON Lines.
#include "options.h"
#include "track_run.h"

#include <standard_options.h>

#include <cstdio>
#include <new>

namespace {

constexpr int usage_status = 2;

} // namespace

int main(int argc, char **argv)
{
    using namespace morvane::track;
    const Command command = parse_options(argc, argv);
    if (std::holds_alternative<ShowHelp>(command))
        return morvane::answer(morvane::StandardOption::help, "morvane-track", usage_text());
    if (std::holds_alternative<ShowVersion>(command))
        return morvane::answer(morvane::StandardOption::version, "morvane-track", usage_text());
    if (const auto *error = std::get_if<UsageError>(&command)) {
        std::fprintf(stderr, "morvane-track: %s\n%s", error->message.c_str(), usage_text());
        return usage_status;
    }
    try {
        return run_tracking(std::get<Options>(command));
    } catch (const std::bad_alloc &) {
        std::fputs("morvane-track: out of memory\n", stderr);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "morvane-track: %s\n", e.what());
    }
    return run_failed;
}
