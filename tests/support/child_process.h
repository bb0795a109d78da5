// Runs a program of the tests as a child process (fork and exec) with a chosen
// working directory and environment: either collected whole (run_child) or
// running alongside the test and waited for or killed at a chosen moment (ChildProcess).
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace morvane::test {

struct ChildRun {
    std::vector<std::string> arguments; // the program first
    std::string directory{};            // empty: the test's own
    // Variables to set; a variable mapped to nothing is removed.
    std::map<std::string, std::optional<std::string>> environment{};
    std::chrono::seconds timeout{60};
    std::string input{}; // the child's standard input (run_child only); empty: /dev/null
};

struct ChildResult {
    int exit_status = -1; // -1 when the child did not exit normally (also when it ran out of time)
    std::string out;
    std::string err;
};

// Runs the child to its end (or the time limit, when it is killed) and collects both
// of its output streams; started, if given, gets the child's process id once it runs.
ChildResult run_child(const ChildRun &run, const std::function<void(int)> &started = {});

// A running child, waited for or killed; it ends with the object.
class ChildProcess {
public:
    explicit ChildProcess(const ChildRun &run);
    // Runs body in a forked copy of this process; its result is the exit status.
    explicit ChildProcess(const std::function<int()> &body);
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess();

    bool started() const { return pid_ > 0; }
    // The exit status, or -1 when the child did not end within the limit (it
    // is then killed) or ended through a signal.
    int wait(std::chrono::milliseconds limit);
    void kill_now();

private:
    friend ChildResult run_child(const ChildRun &, const std::function<void(int)> &);
    explicit ChildProcess(pid_t pid) : pid_(pid) {}
    bool reap(int options);

    pid_t pid_ = -1;
    bool finished_ = false;
    int status_ = -1;
};

} // namespace morvane::test
