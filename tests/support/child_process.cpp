#include "child_process.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace morvane::test {

namespace {

std::vector<std::string> child_environment(const ChildRun &run)
{
    std::vector<std::string> entries;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        if (run.environment.find(text.substr(0, text.find('='))) == run.environment.end())
            entries.push_back(text);
    }
    for (const auto &[name, value] : run.environment) {
        if (value)
            entries.push_back(name + "=" + *value);
    }
    return entries;
}

std::vector<char *> pointers(std::vector<std::string> &texts)
{
    std::vector<char *> result;
    for (auto &text : texts)
        result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

// Starts the child with its output (and errors, when err_fd is not -1) going
// to the given descriptors and its input from in_fd (/dev/null when -1).
pid_t spawn(const ChildRun &run, int out_fd, int err_fd, int in_fd = -1)
{
    // Everything the child needs is prepared before forking.
    std::vector<std::string> arguments = run.arguments;
    std::vector<std::string> environment = child_environment(run);
    const auto argv = pointers(arguments);
    const auto envp = pointers(environment);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out_fd, STDOUT_FILENO);
        if (err_fd >= 0)
            dup2(err_fd, STDERR_FILENO);
        const int input = in_fd >= 0 ? in_fd : open("/dev/null", O_RDONLY);
        if (input >= 0)
            dup2(input, STDIN_FILENO);
        if (!run.directory.empty() && chdir(run.directory.c_str()) != 0)
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

} // namespace

ChildResult run_child(const ChildRun &run) { return run_child(run, {}); }

ChildResult run_child(const ChildRun &run, const std::function<void(int)> &started)
{
    ChildResult result;
    int out_pipe[2];
    int err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0)
        return result;
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return result;
    }
    int in_pipe[2] = {-1, -1};
    if (!run.input.empty() && pipe2(in_pipe, O_CLOEXEC) != 0)
        in_pipe[0] = in_pipe[1] = -1;
    const pid_t pid = spawn(run, out_pipe[1], err_pipe[1], in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (in_pipe[0] >= 0) {
        // The tests' inputs are a few bytes: they fit the pipe without waiting.
        close(in_pipe[0]);
        if (pid > 0 && write(in_pipe[1], run.input.data(), run.input.size()) < 0) {
        }
        close(in_pipe[1]);
    }
    if (pid < 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        return result;
    }

    if (started)
        started(pid);
    const auto deadline = std::chrono::steady_clock::now() + run.timeout;
    std::array<pollfd, 2> streams{{{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}}};
    std::array<std::string *, 2> sinks{&result.out, &result.err};
    int open_streams = 2;
    while (open_streams > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(streams.data(), streams.size(), static_cast<int>(left.count())) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < streams.size(); ++i) {
            if (streams[i].fd < 0 || streams[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t count = read(streams[i].fd, buffer, sizeof buffer);
            if (count > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(count));
            } else if (count == 0 || errno != EINTR) {
                close(streams[i].fd);
                streams[i].fd = -1;
                --open_streams;
            }
        }
    }
    for (const auto &stream : streams) {
        if (stream.fd >= 0)
            close(stream.fd);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    return result;
}

ChildProcess::ChildProcess(const ChildRun &run)
{
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    pid_ = spawn(run, fds[1], -1);
    close(fds[1]);
    if (pid_ > 0)
        output_ = fdopen(fds[0], "r");
    else
        close(fds[0]);
}

ChildProcess::ChildProcess(const std::function<int()> &body)
{
    pid_ = fork();
    if (pid_ == 0)
        _exit(body());
}

ChildProcess::~ChildProcess()
{
    kill_now();
    if (output_ != nullptr)
        fclose(output_);
}

bool ChildProcess::read_line(std::string &line)
{
    line.clear();
    if (output_ == nullptr)
        return false;
    int c;
    while ((c = std::fgetc(output_)) != EOF && c != '\n')
        line.push_back(static_cast<char>(c));
    return c != EOF || !line.empty();
}

int ChildProcess::wait(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!finished_ && std::chrono::steady_clock::now() < deadline) {
        if (reap(WNOHANG))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill_now();
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

void ChildProcess::kill_now()
{
    if (pid_ <= 0 || finished_)
        return;
    ::kill(pid_, SIGKILL);
    reap(0);
    status_ = -1;
}

bool ChildProcess::reap(int options)
{
    int status = 0;
    if (waitpid(pid_, &status, options) == pid_) {
        finished_ = true;
        status_ = status;
        return true;
    }
    return false;
}

} // namespace morvane::test
