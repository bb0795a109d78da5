// Updates that span several calls: one write transaction on one registry file.
#include "registry/database.h"

#include <morvane_assert.h>

namespace morvane::registry {
namespace {

int run(sqlite3 *db, const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

} // namespace

void Database::fault(LSTATUS code)
{
    if (update_.active() && update_.failure == ERROR_SUCCESS)
        update_.failure = code;
    fail(code);
}

LSTATUS Database::begin_update()
{
    if (update_.active()) {
        MORVANE_ASSERT(sqlite3_get_autocommit(db_) == 0); // the update's transaction is open
        ++update_.depth;
        return ERROR_SUCCESS;
    }
    if (read_only_)
        return ERROR_ACCESS_DENIED;
    MORVANE_ASSERT(sqlite3_get_autocommit(db_) != 0); // no call's transaction outlives its call
    // Waits, up to the busy timeout, for another process's write to end.
    if (int rc = run(db_, "BEGIN IMMEDIATE"); rc != SQLITE_OK)
        return status_from_sqlite(rc);
    update_ = {};
    update_.depth = 1;
    try {
        note_layout(true);
    } catch (const RegistryError &error) {
        run(db_, "ROLLBACK");
        settle_layout(true);
        update_ = {};
        return error.code;
    }
    return ERROR_SUCCESS;
}

LSTATUS Database::end_update(bool keep)
{
    if (!update_.active())
        return ERROR_INVALID_FUNCTION;
    if (!keep)
        update_.discard = true;
    if (--update_.depth > 0)
        return ERROR_SUCCESS;
    const UpdateScope ended = update_;
    update_ = {};
    MORVANE_ASSERT(sqlite3_get_autocommit(db_) == 0); // the update's transaction is still open
    if (ended.discard || ended.failure != ERROR_SUCCESS) {
        run(db_, "ROLLBACK");
        settle_layout(true);
        return ended.failure;
    }
    if (int rc = run(db_, "COMMIT"); rc != SQLITE_OK) {
        run(db_, "ROLLBACK");
        settle_layout(true);
        return status_from_sqlite(rc);
    }
    settle_layout(false);
    return ERROR_SUCCESS;
}

} // namespace morvane::registry
