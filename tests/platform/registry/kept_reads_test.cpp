// Reads answered from memory while no process has committed since: another process's change,
// or one made while a dead writer's commit stands unfinished, is seen by the next call.
#include "child_process.h"
#include "registry_fixture.h"

#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

class KeptReads : public RegistryTest {
protected:
    // The value of Kept\Key or the status that kept it from being read; whether Kept\Missing opens.
    std::string seen()
    {
        Key key;
        const LSTATUS status = open(HKEY_CURRENT_USER, "Kept\\Key", key, KEY_READ);
        const std::string value = status ? "status " + std::to_string(status) : query_string(key, "v");
        return value + (exists(HKEY_CURRENT_USER, "Kept\\Missing") ? " +missing" : "");
    }

    static LSTATUS set_kept(const char *text)
    {
        return set_string(Key(create(HKEY_CURRENT_USER, "Kept\\Key")), "v", text);
    }
};

TEST_F(KeptReads, AnotherProcessesCommitIsSeenByTheNextCall)
{
    // A change made in a forked process (a registry connection of its own), what is seen after.
    const std::pair<std::function<LSTATUS()>, const char *> rows[] = {
        {[] { return set_kept("new"); }, "new"},
        {[] { // in an update
             MorvaneRegistryBeginUpdate();
             set_kept("new");
             return MorvaneRegistryEndUpdate(TRUE);
         }, "new"},
        {[] { make(HKEY_CURRENT_USER, "Kept\\Missing"); return LSTATUS(ERROR_SUCCESS); }, "old +missing"},
        {[] { return RegDeleteTreeA(HKEY_CURRENT_USER, "Kept"); }, "status 2"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(&row - rows);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Kept");
        ASSERT_EQ(set_kept("old"), ERROR_SUCCESS);
        ASSERT_EQ(seen(), "old");
        ASSERT_EQ(seen(), "old");
        ASSERT_EQ(morvane::test::ChildProcess([&] { return row.first() == ERROR_SUCCESS ? 0 : 1; }).wait(30s), 0);
        EXPECT_EQ(seen(), row.second);
    }
}

// An odd count of commits (the first 8 bytes of its file) keeps nothing; the next writer settles
// it, and a change behind its back goes unseen.
TEST_F(KeptReads, NothingIsKeptWhileACommitStandsUnfinished)
{
    ASSERT_EQ(set_kept("old"), ERROR_SUCCESS);
    ASSERT_EQ(seen(), "old");
    std::fstream stamp(file_.string() + "-stamp", std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(stamp.write("\xe9\x03\0\0\0\0\0\0", 8).flush()) << "1001 commits";
    ASSERT_EQ(seen(), "old");
    ASSERT_EQ(run_sql(file_, "UPDATE vals SET data = CAST('new' || char(0) AS BLOB)"), "");
    EXPECT_EQ(seen(), "new");
    ASSERT_EQ(set_kept("newer"), ERROR_SUCCESS);
    ASSERT_EQ(seen(), "newer");
    ASSERT_EQ(run_sql(file_, "UPDATE vals SET data = CAST('behind' || char(0) AS BLOB)"), "");
    EXPECT_EQ(seen(), "newer");
}

// A copy moved in place of the file (the count beside it never moves) is seen: left alone a while,
// the folder is trusted until its times move; changed just now (the same clock tick), it is not.
TEST_F(KeptReads, NothingKeptOutlivesTheFileItWasReadFrom)
{
    ASSERT_EQ(set_kept("old"), ERROR_SUCCESS);
    const std::filesystem::path copy = folder_ / "copy.db";
    ASSERT_EQ(run_sql(file_, ("VACUUM INTO '" + copy.string() + "'").c_str()), "");
    ASSERT_EQ(run_sql(copy, "UPDATE vals SET data = CAST('other' || char(0) AS BLOB)"), "");
    std::this_thread::sleep_for(2500ms);
    ASSERT_EQ(seen(), "old");
    ASSERT_EQ(seen(), "old");
    std::filesystem::rename(copy, file_);
    EXPECT_EQ(seen(), "other");
    ASSERT_EQ(run_sql(file_, ("VACUUM INTO '" + copy.string() + "'").c_str()), "");
    ASSERT_EQ(run_sql(copy, "UPDATE vals SET data = CAST('third' || char(0) AS BLOB)"), "");
    ASSERT_EQ(seen(), "other");
    std::filesystem::rename(copy, file_);
    EXPECT_EQ(seen(), "third");
}

// Writes that other processes could not learn of are refused.
TEST_F(KeptReads, ARegistryWhoseCountCannotBeWrittenIsOnlyRead)
{
    MorvaneRegistryReset();
    std::filesystem::create_directory(file_.string() + "-stamp");
    Key key;
    EXPECT_EQ(open(HKEY_CURRENT_USER, nullptr, key, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Kept", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(), nullptr),
              ERROR_ACCESS_DENIED);
}

} // namespace
