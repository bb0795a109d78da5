// Updates spanning calls, kept or rolled back whole; and registry files that
// change under the process: deleted, replaced, or readable only.
#include "child_process.h"
#include "registry_fixture.h"

#include <sqlite3.h>

#include <sys/stat.h>

namespace {

using morvane::test::ScratchRegistry;
using FileChange = RegistryTest;

// Runs SQL on the file as another program would.
void edit(const std::filesystem::path &file, const char *sql, bool *found = nullptr)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), SQLITE_OK);
    const int step = sqlite3_step(stmt);
    if (found != nullptr)
        *found = step == SQLITE_ROW;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST_F(FileChange, AnUpdateKeepsOrDropsEveryCallWithin)
{
    const std::pair<std::vector<BOOL>, bool> cases[] = {
        // how each level ends (innermost first), whether the key stays
        {{TRUE}, true}, {{FALSE}, false}, {{TRUE, TRUE}, true}, {{FALSE, TRUE}, false}, {{TRUE, FALSE}, false},
    };
    for (const auto &[ends, kept] : cases) {
        for (std::size_t level = 0; level < ends.size(); ++level)
            ASSERT_EQ(MorvaneRegistryBeginUpdate(), ERROR_SUCCESS);
        EXPECT_EQ(set_string(Key(create(HKEY_CURRENT_USER, "Software\\Updated")), "value", "set"), ERROR_SUCCESS);
        for (BOOL keep : ends)
            EXPECT_EQ(MorvaneRegistryEndUpdate(keep), ERROR_SUCCESS);
        EXPECT_EQ(exists(HKEY_CURRENT_USER, "Software\\Updated"), kept) << ends.size() << " levels";
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Updated");
    }
    EXPECT_EQ(MorvaneRegistryEndUpdate(TRUE), ERROR_INVALID_FUNCTION);

    // A database failure within rolls the whole update back and is reported.
    make(HKEY_CURRENT_USER, "Software\\Loop\\Back");
    edit(file_, "UPDATE keys SET parent = (SELECT id FROM keys WHERE fold = CAST('BACK' AS BLOB)) WHERE id = 2");
    ASSERT_EQ(MorvaneRegistryBeginUpdate(), ERROR_SUCCESS);
    make(HKEY_LOCAL_MACHINE, "Software\\Written");
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software"), ERROR_BADDB);
    EXPECT_EQ(MorvaneRegistryEndUpdate(TRUE), ERROR_BADDB);
    EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, "Software\\Written"));
}

// The next call works on the file at the path; handles opened before then
// fail instead of writing where no other process looks.
TEST_F(FileChange, ADeletedOrReplacedFileIsFollowedAndOlderHandlesFail)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced by another registry" : "deleted");
        const auto other = folder_ / "other.db";
        if (replaced) {
            ScratchRegistry::use_file(other);
            make(HKEY_CURRENT_USER, "Software\\FromOther");
        }
        ScratchRegistry::use_file(file_);
        Key before(create(HKEY_CURRENT_USER, "Software\\Before"));
        ASSERT_EQ(set_string(before, "first", "1"), ERROR_SUCCESS);
        if (replaced)
            std::filesystem::rename(other, file_);
        else
            std::filesystem::remove(file_);

        EXPECT_EQ(set_string(before, "second", "2"), ERROR_KEY_DELETED);
        make(HKEY_CURRENT_USER, "Software\\After");
        bool written = false;
        edit(file_, "SELECT 1 FROM keys WHERE fold = CAST('AFTER' AS BLOB)", &written);
        EXPECT_TRUE(written);
        EXPECT_EQ(exists(HKEY_CURRENT_USER, "Software\\FromOther"), replaced);
        EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Software\\Before"));
        before.release();
        MorvaneRegistryReset();
        std::filesystem::remove(file_);
    }
}

TEST_F(FileChange, AReadOnlyFileServesReadsAndDeniesWrites)
{
    ASSERT_EQ(set_string(Key(create(HKEY_CURRENT_USER, "Software\\Sample")), "kept", "yes"), ERROR_SUCCESS);
    MorvaneRegistryReset();
    ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
    ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
    // In a child: the number of the first check that failed, 0 when all held.
    // The superuser can write any file, so a child run by it gives up its rights first.
    const int failed = morvane::test::ChildProcess([] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 10;
        Key key, created;
        if (open(HKEY_CURRENT_USER, "Software\\Sample", key) != 0 || query_string(key, "kept") != "yes")
            return 1;
        const LSTATUS writes[] = {set_string(key, "new", "x"), RegDeleteValueA(key, "kept"),
                                  LSTATUS(MorvaneRegistryBeginUpdate()),
                                  RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, created.out(), nullptr)};
        for (std::size_t i = 0; i < std::size(writes); ++i)
            if (writes[i] != ERROR_ACCESS_DENIED)
                return int(2 + i);
        return 0;
    }).wait(std::chrono::seconds(10));
    EXPECT_EQ(failed, 0);
    chmod(folder_.c_str(), 0700);
}

} // namespace
