// Updates that span several calls, and noticing that the file at the
// registry's path is no longer the one open.
#include "registry/database.h"

#include "registry/change_stamp.h"

namespace morvane::registry {
namespace {

int run(sqlite3 *db, const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

} // namespace

void Database::fault(LSTATUS code)
{
    if (scope_.active() && scope_.failure == ERROR_SUCCESS)
        scope_.failure = code;
    fail(code);
}

LSTATUS Database::begin_scope()
{
    if (scope_.active()) {
        ++scope_.depth;
        return ERROR_SUCCESS;
    }
    if (read_only_)
        return ERROR_ACCESS_DENIED;
    // Waits, up to the busy timeout, for another process's update to end.
    if (int rc = run(db_, "BEGIN IMMEDIATE"); rc != SQLITE_OK)
        return status_from_sqlite(rc);
    scope_ = {};
    scope_.depth = 1;
    return ERROR_SUCCESS;
}

LSTATUS Database::end_scope(bool keep)
{
    if (!scope_.active())
        return ERROR_INVALID_FUNCTION;
    if (!keep)
        scope_.discard = true;
    if (--scope_.depth > 0)
        return ERROR_SUCCESS;
    const UpdateScope ended = scope_;
    scope_ = {};
    // Readers in this process saw the update's rows; whichever way it ends, what
    // they kept may no longer hold.
    note_local_change();
    if (ended.discard || ended.failure != ERROR_SUCCESS) {
        run(db_, "ROLLBACK");
        return ended.failure;
    }
    int rc = SQLITE_OK;
    {
        CommitMark committing(counter_);
        rc = run(db_, "COMMIT");
    }
    if (rc != SQLITE_OK) {
        run(db_, "ROLLBACK");
        return status_from_sqlite(rc);
    }
    return ERROR_SUCCESS;
}

bool Database::file_replaced()
{
    // Looking the path up costs more than the rest of a kept read together.
    if (folder_.unchanged())
        return false;
    int moved = 0;
    if (db_ == nullptr || sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK)
        return false;
    if (moved == 0)
        folder_.confirm();
    return moved != 0;
}

void Database::leave_replaced_file()
{
    // The write-ahead log is named after the path, so the file now there
    // would read this file's log as its own: empty it into the file it
    // belongs to first.
    sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    close();
    ++generation_;
}

} // namespace morvane::registry
