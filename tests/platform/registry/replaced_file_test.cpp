// A registry file deleted or replaced while this process has it open: the
// next call works on the file at the path, and handles opened before then
// fail instead of writing where no other process looks.
#include "registry_fixture.h"

#include <sqlite3.h>

namespace {

using ReplacedFile = RegistryTest;

// Whether the file at path holds a key of that (upper-case) name, read as
// another process would.
bool file_holds_key(const std::filesystem::path &file, const char *folded_name)
{
    sqlite3 *db = nullptr;
    bool found = false;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT 1 FROM keys WHERE fold = CAST(?1 AS BLOB)", -1, &stmt,
                               nullptr) == SQLITE_OK) {
            sqlite3_bind_text(stmt, 1, folded_name, -1, SQLITE_STATIC);
            found = sqlite3_step(stmt) == SQLITE_ROW;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return found;
}

TEST_F(ReplacedFile, LaterCallsUseTheFileAtThePathAndOlderHandlesFail)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced by another registry" : "deleted");
        const auto other = folder_ / "other.db";
        if (replaced) {
            use_file(other);
            make(HKEY_CURRENT_USER, "Software\\FromOther");
        }
        use_file(file_);
        Key before(create(HKEY_CURRENT_USER, "Software\\Before"));
        ASSERT_EQ(set_string(before, "first", "1"), ERROR_SUCCESS);

        if (replaced)
            std::filesystem::rename(other, file_);
        else
            std::filesystem::remove(file_);

        EXPECT_EQ(set_string(before, "second", "2"), ERROR_KEY_DELETED);
        make(HKEY_CURRENT_USER, "Software\\After");
        EXPECT_TRUE(file_holds_key(file_, "AFTER"));
        EXPECT_EQ(exists(HKEY_CURRENT_USER, "Software\\FromOther"), replaced);
        EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Software\\Before"));
        before.release();
        MorvaneRegistryReset();
        std::filesystem::remove(file_);
    }
}

} // namespace
