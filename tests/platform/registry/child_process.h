// Runs a helper program of the tests as a child process (fork and exec), with
// an optional pipe from its standard output, or a function in a forked copy of
// the test, and waits for it within a time limit.
#ifndef MORVANE_TESTS_CHILD_PROCESS_H
#define MORVANE_TESTS_CHILD_PROCESS_H

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

class ChildProcess {
public:
    ChildProcess(const std::string &program, const std::vector<std::string> &args,
                 bool capture_output = false)
    {
        int fds[2] = {-1, -1};
        if (capture_output && pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            if (capture_output) {
                dup2(fds[1], STDOUT_FILENO);
                close(fds[0]);
                close(fds[1]);
            }
            std::vector<char *> argv;
            argv.push_back(const_cast<char *>(program.c_str()));
            for (const std::string &arg : args)
                argv.push_back(const_cast<char *>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        if (capture_output) {
            close(fds[1]);
            output_ = fdopen(fds[0], "r");
        }
    }
    // Runs body in a forked copy of this process; its result is the exit status.
    explicit ChildProcess(const std::function<int()> &body)
    {
        pid_ = fork();
        if (pid_ == 0)
            _exit(body());
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess()
    {
        if (running())
            kill_now();
        if (output_ != nullptr)
            fclose(output_);
    }

    bool started() const { return pid_ > 0; }
    bool running() const { return pid_ > 0 && !finished_; }

    // One line of the child's output without its line end; false at its end.
    bool read_line(std::string &line)
    {
        line.clear();
        if (output_ == nullptr)
            return false;
        int c;
        while ((c = std::fgetc(output_)) != EOF && c != '\n')
            line.push_back(static_cast<char>(c));
        return c != EOF || !line.empty();
    }

    // The exit status, or -1 when the child did not end in time (it is then
    // killed) or ended through a signal.
    int wait(std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!finished_ && std::chrono::steady_clock::now() < deadline) {
            if (reap(WNOHANG))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!finished_)
            kill_now();
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    void kill_now()
    {
        if (pid_ <= 0 || finished_)
            return;
        ::kill(pid_, SIGKILL);
        reap(0);
        status_ = -1;
    }

private:
    bool reap(int options)
    {
        int status = 0;
        if (waitpid(pid_, &status, options) == pid_) {
            finished_ = true;
            status_ = status;
            return true;
        }
        return false;
    }

    pid_t pid_ = -1;
    bool finished_ = false;
    int status_ = -1;
    FILE *output_ = nullptr;
};

#endif
