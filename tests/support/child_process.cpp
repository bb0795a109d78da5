// Runs a test program as a child process (fork and exec) with its own folder and
// environment, collected whole or running alongside the test.
#include "child_process.h"

#include "scratch_folder.h"

#include <csignal>
#include <thread>

#include <fcntl.h>
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

ChildResult run_child(const ChildRun &run, const std::function<void(int)> &started)
{
    // The streams go to files, which never fill up and stall the child as an unread pipe does.
    const test_support::ScratchFolder folder;
    test_support::write_file(folder.path() / "in", {run.input.begin(), run.input.end()});
    const auto open_file = [&](const char *name, int flags) {
        return open(folder.file(name).c_str(), flags | O_CLOEXEC, 0600);
    };
    const int out = open_file("out", O_WRONLY | O_CREAT);
    const int err = open_file("err", O_WRONLY | O_CREAT);
    const int in = run.input.empty() ? -1 : open_file("in", O_RDONLY);
    ChildResult result;
    ChildProcess child(out >= 0 && err >= 0 ? spawn(run, out, err, in) : -1);
    if (child.started()) {
        if (started)
            started(child.pid_);
        result.exit_status = child.wait(run.timeout);
    }
    for (const int fd : {out, err, in})
        close(fd);
    const auto out_bytes = test_support::read_file(folder.path() / "out");
    const auto err_bytes = test_support::read_file(folder.path() / "err");
    result.out.assign(out_bytes.begin(), out_bytes.end());
    result.err.assign(err_bytes.begin(), err_bytes.end());
    return result;
}

// The child writes where this process does.
ChildProcess::ChildProcess(const ChildRun &run) : pid_(spawn(run, STDOUT_FILENO, -1)) {}

ChildProcess::ChildProcess(const std::function<int()> &body)
{
    pid_ = fork();
    if (pid_ == 0)
        _exit(body());
}

ChildProcess::~ChildProcess()
{
    kill_now();
}

int ChildProcess::wait(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!finished_ && !reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline)
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
