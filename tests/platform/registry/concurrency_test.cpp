// One registry shared by processes and threads: whole values, killed writers, forks.
#include "child_process.h"
#include "registry_fixture.h"

#include <atomic>
#include <cstring>
#include <optional>
#include <random>
#include <sys/mman.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using morvane::test::ChildProcess;
using SharedRegistry = RegistryTest;

// Every byte follows from the header (seed, round, length): a torn or mixed value shows.
std::vector<BYTE> stamped(std::uint32_t seed, std::uint32_t round, std::size_t length)
{
    std::vector<BYTE> value(12 + length);
    const std::uint32_t header[3] = {seed, round, static_cast<std::uint32_t>(length)};
    std::memcpy(value.data(), header, sizeof header);
    for (std::size_t i = 0; i < length; ++i)
        value[12 + i] = static_cast<BYTE>((seed * 131 + round * 17 + i) * 2654435761u >> 24);
    return value;
}

// The (seed, round) of a whole value, or none when any byte is off.
std::optional<std::pair<std::uint32_t, std::uint32_t>> stamp_of(const std::vector<BYTE> &value)
{
    std::uint32_t header[3] = {};
    if (value.size() >= 12 && (std::memcpy(header, value.data(), 12), value == stamped(header[0], header[1], value.size() - 12)))
        return std::pair{header[0], header[1]};
    return std::nullopt;
}

// A child's work: values of varying size, each round announced (0 rounds: forever); 3 on failure.
int write_rounds(const char *path, std::uint32_t seed, std::uint32_t rounds, std::size_t max,
                 std::atomic<std::uint32_t> *announced = nullptr)
{
    for (std::uint32_t round = 0; rounds == 0 || round < rounds; ++round) {
        Key key(RegistryTest::create(HKEY_CURRENT_USER, path));
        const auto value = stamped(seed, round, (seed * 7919u + round * 104729u) % max + 1);
        if (announced != nullptr)
            announced->store(round);
        if (RegSetValueExA(key, "data", 0, REG_BINARY, value.data(), DWORD(value.size())) != ERROR_SUCCESS)
            return 3;
    }
    return 0;
}

// A child's work: every read whole or absent (2 when broken, 3 when a call fails).
int read_rounds(const char *path, int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        Key key;
        LSTATUS status = RegistryTest::open(HKEY_CURRENT_USER, path, key, KEY_READ);
        const std::vector<BYTE> data = status ? std::vector<BYTE>{} : RegistryTest::query(key, "data", nullptr, &status);
        if (status == ERROR_SUCCESS && !stamp_of(data))
            return 2;
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && status != ERROR_MORE_DATA)
            return 3;
    }
    return 0;
}

TEST_F(SharedRegistry, WritersAndReadersInSeveralProcessesOnlySeeWholeValues)
{
    // No process has the file yet: they also race to make it.
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (std::uint32_t seed : {1u, 2u}) {
        children.push_back(std::make_unique<ChildProcess>([seed] { return write_rounds("Shared", seed, 80, 48 * 1024); }));
        children.push_back(std::make_unique<ChildProcess>([] { return read_rounds("Shared", 400); }));
    }
    for (auto &child : children)
        EXPECT_EQ(child->wait(60s), 0);
    const auto last = stamp_of(query(Key(create(HKEY_CURRENT_USER, "Shared")), "data"));
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->second, 79u) << "the last write of one of the writers stays";
}

TEST_F(SharedRegistry, AWriterKilledMidWriteLeavesTheOldOrTheNewValue)
{
    std::mt19937 random(20240611);
    void *shared = mmap(nullptr, sizeof(std::atomic<std::uint32_t>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto *announced = new (shared) std::atomic<std::uint32_t>(0);
    ASSERT_EQ(write_rounds("Killed", 0, 1, 1000), 0);
    for (std::uint32_t attempt = 1; attempt <= 12; ++attempt) {
        announced->store(0);
        ChildProcess writer([=] { return write_rounds("Killed", attempt, 0, 2 * 1024 * 1024, announced); });
        // Kill it within a write it has begun: each takes milliseconds, mostly in the transaction.
        const auto target = static_cast<std::uint32_t>(1 + random() % 3);
        for (int wait = 0; announced->load() < target && wait < 20000; ++wait)
            std::this_thread::sleep_for(500us);
        ASSERT_GE(announced->load(), target) << "the writer stopped early";
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 12000));
        writer.kill_now();

        // A whole value of this writer, from the write before the announced one or later.
        const auto stamp = stamp_of(query(Key(create(HKEY_CURRENT_USER, "Killed")), "data"));
        ASSERT_TRUE(stamp.has_value()) << "attempt " << attempt;
        EXPECT_EQ(stamp->first, attempt);
        EXPECT_GE(stamp->second + 1, target);
        EXPECT_EQ(run_sql(file_, "PRAGMA integrity_check"), "ok");
        ASSERT_EQ(set_string(Key(create(HKEY_CURRENT_USER, "Killed")), "after", "written"), ERROR_SUCCESS);
    }
    munmap(shared, sizeof(std::atomic<std::uint32_t>));
}

// A child forked while threads write has a registry of its own, with working inherited handles.
TEST_F(SharedRegistry, ThreadsShareTheConnectionAndAForkedChildHasItsOwn)
{
    Key key(create(HKEY_CURRENT_USER, "Forked"));
    ASSERT_EQ(set_string(key, "parent", "before"), ERROR_SUCCESS);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int n = 0; n < 3; ++n)
        writers.emplace_back([&, n] {
            for (int round = 0; !stop || round < 40; ++round) {
                Key own(create(HKEY_CURRENT_USER, ("Threads\\T" + std::to_string(n)).c_str()));
                failures += set_string(own, "V", std::to_string(round)) != 0 || query_string(own, "V") != std::to_string(round);
            }
        });
    for (int round = 0; round < 20; ++round) {
        ChildProcess child([&key] {
            return set_string(key, "child", "written") == 0 && query_string(key, "parent") == "before" ? 0 : 1;
        });
        EXPECT_EQ(child.wait(10s), 0) << "round " << round;
    }
    stop = true;
    for (std::thread &writer : writers)
        writer.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(query_string(key, "child"), "written") << "the child's writes are its own commits";
    EXPECT_EQ(run_sql(file_, "PRAGMA integrity_check"), "ok");
}

} // namespace
