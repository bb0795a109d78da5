// One registry used at once by several processes and threads: readers always
// see whole values, a writer killed in the middle of a write leaves the old or
// the new value and a working database, and a key deleted by another process
// is reported on the handles of this one.
#include "child_process.h"
#include "registry_fixture.h"
#include "stress_value.h"

#include <sqlite3.h>

#include <atomic>
#include <random>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using morvane::test::ChildProcess;
using morvane::test::ChildRun;

using SharedRegistry = RegistryTest;

// The worker program run with the given arguments.
ChildRun worker_run(std::vector<std::string> arguments)
{
    ChildRun run;
    run.arguments = {REGISTRY_WORKER};
    run.arguments.insert(run.arguments.end(), arguments.begin(), arguments.end());
    return run;
}

std::string integrity_of(const std::filesystem::path &file)
{
    sqlite3 *db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            result = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return result;
}

std::optional<stress::Stamp> stamp_of(const char *path)
{
    Key key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<BYTE> data = RegistryTest::query(key, "data");
    return stress::check_value(data);
}

TEST_F(SharedRegistry, WritersAndReadersInSeveralProcessesOnlySeeWholeValues)
{
    // The file does not exist yet: the processes also race to make it.
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int seed : {1, 2})
        children.push_back(std::make_unique<ChildProcess>(
            worker_run({"write", "Shared", std::to_string(seed), "80"})));
    for (int reader = 0; reader < 2; ++reader)
        children.push_back(
            std::make_unique<ChildProcess>(worker_run({"read", "Shared", "400"})));
    for (auto &child : children) {
        ASSERT_TRUE(child->started());
        EXPECT_EQ(child->wait(60s), 0);
    }
    // The last write of one of the writers is what stays.
    const auto last = stamp_of("Shared");
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->round, 79u);
    EXPECT_EQ(integrity_of(file_), "ok");
}

TEST_F(SharedRegistry, AWriterKilledMidWriteLeavesTheOldOrTheNewValue)
{
    std::mt19937 random(20240611);
    {
        Key key(create(HKEY_CURRENT_USER, "Killed"));
        const auto initial = stress::make_value({0, 0}, 1000);
        ASSERT_EQ(RegSetValueExA(key, "data", 0, REG_BINARY, initial.data(),
                                 static_cast<DWORD>(initial.size())),
                  ERROR_SUCCESS);
    }
    for (std::uint32_t attempt = 1; attempt <= 12; ++attempt) {
        ChildProcess writer(worker_run({"hammer", "Killed", std::to_string(attempt)}));
        ASSERT_TRUE(writer.started());
        // Kill it at some point of a write it has announced: each write
        // takes a few milliseconds, most of them inside the transaction.
        const auto target = static_cast<std::uint32_t>(1 + random() % 3);
        const auto delay = std::chrono::microseconds(random() % 12000);
        std::string line;
        std::uint32_t announced = 0;
        while (writer.read_line(line)) {
            announced = static_cast<std::uint32_t>(std::stoul(line.substr(6)));
            if (announced >= target)
                break;
        }
        ASSERT_EQ(announced, target) << "the writer stopped early";
        std::this_thread::sleep_for(delay);
        writer.kill_now();

        // A whole value of this writer, from the write before the announced one
        // or later: how many more writes it finishes before the kill lands
        // depends on the machine's speed, so only the lower end is fixed.
        const auto stamp = stamp_of("Killed");
        ASSERT_TRUE(stamp.has_value()) << "attempt " << attempt;
        EXPECT_EQ(stamp->seed, attempt);
        EXPECT_GE(stamp->round + 1, target);

        // The database is sound and takes writes again.
        EXPECT_EQ(integrity_of(file_), "ok");
        Key key;
        ASSERT_EQ(open(HKEY_CURRENT_USER, "Killed", key), ERROR_SUCCESS);
        ASSERT_EQ(set_string(key, "after", "written"), ERROR_SUCCESS);
        EXPECT_EQ(query_string(key, "after"), "written");
    }
}

TEST_F(SharedRegistry, AKeyDeletedByAnotherProcessIsReportedOnOpenHandles)
{
    Key key(create(HKEY_CURRENT_USER, "Remote\\Below"));
    Key parent;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Remote", parent), ERROR_SUCCESS);
    ChildProcess deleter(worker_run({"delete", "Remote"}));
    ASSERT_EQ(deleter.wait(30s), 0);
    EXPECT_EQ(set_string(key, "V", "x"), ERROR_KEY_DELETED);
    EXPECT_EQ(set_string(parent, "V", "x"), ERROR_KEY_DELETED);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Remote"));
}

TEST_F(SharedRegistry, AChildForkedWithoutExecUsesAConnectionOfItsOwn)
{
    // The parent's connection is open and has handles when the child starts.
    Key key(create(HKEY_CURRENT_USER, "Forked"));
    ASSERT_EQ(set_string(key, "parent", "before"), ERROR_SUCCESS);
    const pid_t child = fork();
    if (child == 0) {
        // Inherited handles still name their keys; the child's writes are its own commits.
        const bool ok = set_string(key, "child", "written") == ERROR_SUCCESS &&
                        query_string(key, "parent") == "before";
        _exit(ok ? 0 : 1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(query_string(key, "child"), "written");
    ASSERT_EQ(set_string(key, "parent", "after"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, "parent"), "after");
    EXPECT_EQ(integrity_of(file_), "ok");
}

TEST_F(SharedRegistry, ThreadsOfOneProcessShareTheConnectionSafely)
{
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            const std::string path = numbered("Threads\\T", t);
            for (int round = 0; round < 40; ++round) {
                HKEY key = nullptr;
                if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
                    ++failures;
                    continue;
                }
                const std::string text = numbered("round ", round);
                if (set_string(key, "V", text) != ERROR_SUCCESS || query_string(key, "V") != text)
                    ++failures;
                HKEY shared = nullptr;
                if (RegOpenKeyExA(HKEY_CURRENT_USER, "Threads", 0, KEY_READ, &shared) !=
                        ERROR_SUCCESS ||
                    subkeys(shared).empty())
                    ++failures;
                RegCloseKey(shared);
                if (RegCloseKey(key) != ERROR_SUCCESS)
                    ++failures;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    Key top;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Threads", top), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(top).size(), 4u);
}

} // namespace
