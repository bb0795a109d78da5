// fork() taken while other threads are inside registry calls: the child gets
// a registry it can use at once.
#include "child_process.h"
#include "registry_fixture.h"

#include <atomic>

using morvane::test::ChildProcess;

namespace {

using RegistryFork = RegistryTest;

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
        // A read: it never waits for the parent's writers, only for the
        // process lock the child inherited.
        ChildProcess child([] {
            Key key;
            return open(HKEY_CURRENT_USER, "Software\\Present", key, KEY_READ);
        });
        EXPECT_EQ(child.wait(std::chrono::seconds(5)), 0) << "round " << round;
    }
    stop = true;
    for (std::thread &writer : writers)
        writer.join();
}

} // namespace
