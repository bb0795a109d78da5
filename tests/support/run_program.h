// Runs a program to its end with arguments and standard input, and captures its
// exit status and both output streams.
#pragma once

#include <string>
#include <vector>

namespace test_support {

struct ProgramRun {
    int status = -1; // the exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

ProgramRun run_program(const std::string &program, const std::vector<std::string> &args,
                       const std::string &input = "");

} // namespace test_support
