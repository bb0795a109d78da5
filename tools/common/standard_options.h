// The options every program of the project answers alike: -h and --help print the
// program's usage on standard output, --version its name and the project's version.
// Both then end the program with status 0, or 1 when the answer cannot be written
// (a full disk, a closed pipe).
#pragma once

#include <morvane_version.h>

#include <cstdio>
#include <cstring>
#include <optional>

namespace morvane {

enum class StandardOption { help, version };

// Prints the answer to one of the standard options; returns the exit status.
inline int answer(StandardOption option, const char *program, const char *usage)
{
    if (option == StandardOption::help)
        std::fputs(usage, stdout);
    else
        std::printf("%s %s\n", program, MORVANE_VERSION);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

// The exit status once the answer is printed, or nothing when the arguments are not
// exactly one standard option.
inline std::optional<int> answer_standard_option(int argc, char **argv, const char *program,
                                                 const char *usage)
{
    if (argc != 2)
        return std::nullopt;
    const char *argument = argv[1];
    if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0)
        return answer(StandardOption::help, program, usage);
    if (std::strcmp(argument, "--version") == 0)
        return answer(StandardOption::version, program, usage);
    return std::nullopt;
}

} // namespace morvane
