// Runs a program as a child process with a chosen working directory and
// environment, collecting its output and exit status.
#ifndef TRACKDEMO_TESTS_CHILD_PROCESS_H
#define TRACKDEMO_TESTS_CHILD_PROCESS_H

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace trackdemo::testing {

struct ChildRun {
    std::vector<std::string> arguments; // the program first
    std::string directory;              // empty: the test's own
    // Variables to set; a variable mapped to nothing is removed.
    std::map<std::string, std::optional<std::string>> environment;
    std::chrono::seconds timeout{60};
};

struct ChildResult {
    int exit_status = -1; // -1 when the child did not exit normally
    bool timed_out = false;
    std::string out;
    std::string err;
};

ChildResult run_child(const ChildRun &run);
// The same, calling started with the child's process id as soon as it runs,
// while its output is collected: for tests that act on the child mid-run.
ChildResult run_child(const ChildRun &run, const std::function<void(int)> &started);

} // namespace trackdemo::testing

#endif
