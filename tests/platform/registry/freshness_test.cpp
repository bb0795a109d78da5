// Every call sees what was committed before it, whoever committed it: another process, another
// program, a file replaced by rename, a path through a link (a deleted file is the database test's);
// and a reader who may not write a file reads past a writer killed inside an update.
#include "child_process.h"
#include "registry_fixture.h"
#include "scratch_folder.h"

#include <atomic>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using morvane::test::ChildProcess;
using morvane::test::ScratchRegistry;

class Freshness : public RegistryTest {
protected:
    // The value of Fresh\Key or the status that kept it from being read.
    static std::string seen(HKEY root = HKEY_CURRENT_USER)
    {
        Key key;
        const LSTATUS status = open(root, "Fresh\\Key", key, KEY_READ);
        return status ? "status " + std::to_string(status) : query_string(key, "v");
    }
    static LSTATUS set_fresh(const char *text, HKEY root = HKEY_CURRENT_USER)
    {
        return set_string(Key(create(root, "Fresh\\Key")), "v", text);
    }
    // A copy of the registry file whose value is text, made by another program.
    std::filesystem::path copy_with(const char *text)
    {
        const std::filesystem::path copy = folder_ / "copy.db";
        std::filesystem::remove(copy);
        EXPECT_EQ(run_sql(file_, ("VACUUM INTO '" + copy.string() + "'").c_str()), "");
        EXPECT_EQ(run_sql(copy, ("UPDATE vals SET data = CAST('" + std::string(text) + "' || char(0) AS BLOB)").c_str()), "");
        return copy;
    }
};

TEST_F(Freshness, EveryCommitIsSeenByTheNextCall)
{
    const auto link = folder_ / "link.db";
    std::filesystem::create_symlink(file_, link);
    const std::pair<const char *, std::function<std::string()>> writers[] = {
        {"another process", [] { return ChildProcess([] { return int(set_fresh("new")); }).wait(30s) ? "" : "new"; }},
        {"another process in an update", [] {
             return ChildProcess([] {
                        MorvaneRegistryBeginUpdate();
                        set_fresh("new");
                        return int(MorvaneRegistryEndUpdate(TRUE));
                    }).wait(30s) ? "" : "new";
         }},
        {"another program", [this] {
             return run_sql(file_, "UPDATE vals SET data = CAST('new' || char(0) AS BLOB)") + "new";
         }},
        {"a file moved in its place", [this] {
             std::filesystem::rename(copy_with("moved"), file_);
             return std::string("moved");
         }},
        {"another process through a link", [&link] {
             return ChildProcess([&link] { ScratchRegistry::use_file(link); return int(set_fresh("linked")); }).wait(30s) ? "" : "linked";
         }},
        {"this process through a link, another through the real path", [this, &link] {
             ScratchRegistry::use_file(link);
             EXPECT_EQ(seen(), "old");
             return ChildProcess([this] { ScratchRegistry::use_file(file_); return int(set_fresh("real")); }).wait(30s) ? "" : "real";
         }},
    };
    for (const auto &[name, write] : writers) {
        SCOPED_TRACE(name);
        ScratchRegistry::use_file(file_);
        ASSERT_EQ(set_fresh("old"), ERROR_SUCCESS);
        ASSERT_EQ(seen(), "old");
        ASSERT_EQ(seen(), "old");
        const std::string expected = write();
        EXPECT_EQ(seen(), expected);
        // Nothing beside the registry outlives the calls: no file of its own, no journal.
        for (const auto &entry : std::filesystem::directory_iterator(folder_))
            EXPECT_TRUE(entry.path() == file_ || entry.path() == link) << entry.path();
    }
}

// A replacement moved in while this process holds the old file, then used by another process,
// keeps its own content whole.
TEST_F(Freshness, AFileReplacedByRenameIsNeverMixedWithTheOldOne)
{
    for (int n = 0; n < 10; ++n)
        make(HKEY_CURRENT_USER, ("Keys\\Old" + std::to_string(n)).c_str());
    const auto replacement = folder_ / "replacement.db";
    ASSERT_EQ(ChildProcess([&] {
                  ScratchRegistry::use_file(replacement);
                  for (int n = 0; n < 300; ++n)
                      make(HKEY_CURRENT_USER, ("Keys\\New" + std::to_string(n)).c_str());
                  return 0;
              }).wait(60s), 0);
    ASSERT_EQ(subkeys(Key(create(HKEY_CURRENT_USER, "Keys"))).size(), 10u);
    std::filesystem::rename(replacement, file_);
    EXPECT_EQ(ChildProcess([] { return subkeys(Key(create(HKEY_CURRENT_USER, "Keys"))).size() == 300 ? 0 : 1; }).wait(30s), 0);
    EXPECT_EQ(subkeys(Key(create(HKEY_CURRENT_USER, "Keys"))).size(), 300u);
    MorvaneRegistryReset();
    EXPECT_EQ(run_sql(file_, "SELECT count(*) FROM keys WHERE CAST(fold AS TEXT) LIKE 'NEW%'"), "300");
    EXPECT_EQ(run_sql(file_, "SELECT count(*) FROM keys WHERE CAST(fold AS TEXT) LIKE 'OLD%'"), "0");
    EXPECT_EQ(run_sql(file_, "PRAGMA integrity_check"), "ok");
}

// While another process replaces a key again and again, each call reads a path and a value:
// a call that took the path from earlier reads and then finds the file changed when it reads
// the value starts again, so that it never asks the new file about the old key.
TEST_F(Freshness, ACallNeverMixesEarlierReadsWithALaterFile)
{
    const auto replace = [](int n) {
        MorvaneRegistryBeginUpdate();
        RegDeleteTreeA(HKEY_CURRENT_USER, "Moving");
        Key key(create(HKEY_CURRENT_USER, "Moving"));
        set_string(key, "v", std::to_string(n)), set_string(key, "w", std::to_string(n));
        return int(MorvaneRegistryEndUpdate(TRUE));
    };
    ASSERT_EQ(replace(0), ERROR_SUCCESS);
    void *shared = mmap(nullptr, sizeof(std::atomic<bool>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto *done = new (shared) std::atomic<bool>(false);
    ChildProcess writer([&] {
        int failed = 0;
        for (int n = 1; n <= 2000; ++n)
            failed |= replace(n);
        return *done = true, failed;
    });
    char text[16];
    for (long call = 0; !*done && !HasFailure(); ++call) {
        DWORD size = sizeof text;
        ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Moving", call % 2 ? "w" : "v", RRF_RT_REG_SZ, nullptr, text, &size),
                  ERROR_SUCCESS) << "call " << call;
    }
    EXPECT_EQ(writer.wait(60s), 0);
    munmap(shared, sizeof(std::atomic<bool>));
}

// The machine's file, written by the superuser and read by everyone: a writer killed inside an
// update leaves a journal only a writer can roll back; a reader without that right still reads
// the registry as it was, and the next writer carries on.
TEST_F(Freshness, AReaderWhoMayNotWriteReadsPastAWriterKilledInAnUpdate)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs the superuser, to read as another user";
    ASSERT_EQ(set_fresh("old", HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
    void *shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto *written = new (shared) std::atomic<int>(0);
    ChildProcess writer([written] {
        MorvaneRegistrySetScope(MORVANE_REGISTRY_MACHINE);
        MorvaneRegistryBeginUpdate();
        set_fresh("dead", HKEY_LOCAL_MACHINE);
        make(HKEY_CLASSES_ROOT, "Dead");
        // More than the page cache holds: written to the file before the commit,
        // the journal's first, and made whole (hot) before that.
        const std::vector<BYTE> big(16 << 20, 0x5a);
        RegSetValueExA(Key(create(HKEY_LOCAL_MACHINE, "Software\\Big")), "data", 0, REG_BINARY, big.data(), DWORD(big.size()));
        written->store(1);
        std::this_thread::sleep_for(60s);
        return 0;
    });
    for (int wait = 0; written->load() == 0 && wait < 2000; ++wait)
        std::this_thread::sleep_for(5ms);
    writer.kill_now();
    const auto journal = test_support::read_file(scratch_->machine_file().string() + "-journal");
    ASSERT_TRUE(!journal.empty() && journal[0] != 0) << "no journal to roll back was left";
    const int failed = ChildProcess([] {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return 10;
        Key key;
        open(HKEY_LOCAL_MACHINE, "Fresh\\Key", key);
        return (seen(HKEY_LOCAL_MACHINE) != "old") | exists(HKEY_CLASSES_ROOT, "Dead") << 1 |
               (set_string(key, "v", "mine") != ERROR_ACCESS_DENIED) << 2 | (seen(HKEY_LOCAL_MACHINE) != "old") << 3;
    }).wait(30s);
    EXPECT_EQ(failed, 0) << "1 value, 2 key of the dead update, 4 write allowed, 8 value again";
    EXPECT_EQ(seen(HKEY_LOCAL_MACHINE), "old");
    EXPECT_EQ(set_fresh("next", HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(ChildProcess([] { return setuid(65534) == 0 && seen(HKEY_LOCAL_MACHINE) == "next" ? 0 : 1; }).wait(30s), 0);
    munmap(shared, sizeof(std::atomic<int>));
    chmod(folder_.c_str(), 0700);
}

} // namespace
