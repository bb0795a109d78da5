// fork() taken while other threads are inside registry calls: the child gets
// a registry it can use at once.
#include "registry_fixture.h"

#include <atomic>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using RegistryFork = RegistryTest;

// The child's exit status, or -1 when it did not end within the limit.
int wait_for(pid_t child, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return -1;
}

TEST_F(RegistryFork, AChildForkedDuringOtherThreadsWritesCanUseTheRegistry)
{
    make(HKEY_CURRENT_USER, "Software\\Present");
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int n = 0; n < 2; ++n) {
        writers.emplace_back([&stop, n] {
            const std::string path = numbered("Software\\Writer", n);
            while (!stop) {
                Key key(create(HKEY_CURRENT_USER, path.c_str()));
                set_string(key, "value", "written");
            }
        });
    }
    for (int round = 0; round < 30; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            // A read: it never waits for the parent's writers, only for the
            // process lock the child inherited.
            HKEY key = nullptr;
            _exit(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Present", 0, KEY_READ, &key) == ERROR_SUCCESS
                      ? 0
                      : 1);
        }
        ASSERT_GT(child, 0);
        EXPECT_EQ(wait_for(child, std::chrono::seconds(5)), 0) << "round " << round;
    }
    stop = true;
    for (std::thread &writer : writers)
        writer.join();
}

} // namespace
