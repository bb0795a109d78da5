// The options every program of the project answers alike when given alone:
// -h and --help print the program's usage on standard output, --version its name
// and the project's version. Both then end the program with status 0.
#pragma once

#include <morvane_version.h>

#include <cstdio>
#include <cstring>
#include <optional>

namespace morvane {

// The exit status once the answer is printed, or nothing when the arguments ask
// for neither. A write error (a full disk, a closed pipe) gives status 1.
inline std::optional<int> answer_standard_option(int argc, char **argv, const char *program,
                                                 const char *usage)
{
    if (argc != 2)
        return std::nullopt;
    const char *argument = argv[1];
    if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0)
        std::fputs(usage, stdout);
    else if (std::strcmp(argument, "--version") == 0)
        std::printf("%s %s\n", program, MORVANE_VERSION);
    else
        return std::nullopt;
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace morvane
