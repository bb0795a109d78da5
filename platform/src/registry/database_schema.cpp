// The registry's tables in a file: making them, judging a file's content, the
// rollback journal, and converting a file of the first layout.
//
// Layouts: in the first, a file held HKEY_CLASSES_ROOT as root row 1. Now the
// classes live under Software\Classes of the file's own root (HKEY_CURRENT_USER
// in the user's file, HKEY_LOCAL_MACHINE in the machine's), and row 1 stays
// empty. A file of the first layout is read as it is, its row 1 serving as its
// classes, until its first write moves them.
#include "registry/database.h"

#include "registry/key_names.h"
#include "registry/key_store.h"

#include <unistd.h>

namespace morvane::registry {
namespace {

// Marks a database file as a registry ("MvRg") and gives its table layout.
constexpr std::int64_t application_id = 0x4D765267;
constexpr std::int64_t first_layout_version = 1;
constexpr std::int64_t layout_version = 2;

// Keys form a tree through parent; the seven predefined roots are the rows
// 1 to 7 with parent 0. Names compare through their folded form. Identifiers
// are never reused, so a handle to a deleted key cannot reach a newer one.
// Values enumerate in the order they were first set, as on Windows.
constexpr const char *schema = R"sql(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name BLOB NOT NULL,
    fold BLOB NOT NULL,
    written INTEGER NOT NULL,
    UNIQUE(parent, fold));
CREATE TABLE vals(
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL,
    name BLOB NOT NULL,
    fold BLOB NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, fold));
INSERT INTO keys(id, parent, name, fold, written) VALUES
    (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT', 0),
    (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER', 0),
    (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE', 0),
    (4, 0, 'HKEY_USERS', 'HKEY_USERS', 0),
    (5, 0, 'HKEY_PERFORMANCE_DATA', 'HKEY_PERFORMANCE_DATA', 0),
    (6, 0, 'HKEY_CURRENT_CONFIG', 'HKEY_CURRENT_CONFIG', 0),
    (7, 0, 'HKEY_DYN_DATA', 'HKEY_DYN_DATA', 0);
PRAGMA application_id = 1299599975;
PRAGMA user_version = 2;
)sql";

static_assert(application_id == 1299599975);

struct SchemaState {
    std::int64_t application = 0;
    std::int64_t version = 0;
    std::int64_t objects = 0;
    bool ours() const
    {
        return application == application_id &&
               (version == first_layout_version || version == layout_version);
    }
    bool empty() const { return application == 0 && version == 0 && objects == 0; }
};

int read_schema_state(sqlite3 *db, SchemaState &state)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db,
                                "SELECT (SELECT application_id FROM pragma_application_id),"
                                " (SELECT user_version FROM pragma_user_version),"
                                " (SELECT count(*) FROM sqlite_schema)",
                                -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            state.application = sqlite3_column_int64(stmt, 0);
            state.version = sqlite3_column_int64(stmt, 1);
            state.objects = sqlite3_column_int64(stmt, 2);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return rc;
}

int run(sqlite3 *db, const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Moves the values and subkeys of from into into, at any depth; where both
// hold a value or subkey of one name, from's wins. from stays, emptied.
void merge_keys(Database &db, KeyStore &store, KeyId from, KeyId into, int depth)
{
    // A deeper nesting than a registry can have is a parent cycle.
    if (depth >= max_key_depth)
        db.fault(ERROR_BADDB);
    Statement(db, "INSERT INTO vals(key, name, fold, type, data)"
                  " SELECT ?2, name, fold, type, data FROM vals WHERE key = ?1 ORDER BY seq"
                  " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data")
        .bind(1, from)
        .bind(2, into)
        .run();
    store.remove_values(from);
    std::vector<std::pair<KeyId, std::string>> children;
    {
        Statement list(db, "SELECT id, name FROM keys WHERE parent = ?1");
        list.bind(1, from);
        while (list.step())
            children.emplace_back(list.integer(0), list.text(1));
    }
    for (const auto &[child, name] : children) {
        if (auto existing = store.find_subkey(into, name)) {
            merge_keys(db, store, child, *existing, depth + 1);
            Statement(db, "DELETE FROM keys WHERE id = ?1").bind(1, child).run();
        } else {
            Statement(db, "UPDATE keys SET parent = ?2 WHERE id = ?1").bind(1, child).bind(2, into).run();
        }
    }
}

} // namespace

LSTATUS Database::create_schema()
{
    return status_from_sqlite(run(db_, schema));
}

LSTATUS Database::use_rollback_journal()
{
    // A rollback journal lives only while a write is under way, so no file
    // beside the registry outlasts a commit: one replaced by rename is never
    // read with another file's log. FULL makes each commit durable. Switching
    // a file of the first version's write-ahead log takes a lock that the
    // busy handler does not wait for, so processes opening it together retry.
    int rc = run(db_, "PRAGMA journal_mode=DELETE");
    for (int waited_ms = 0; (rc & 0xFF) == SQLITE_BUSY && waited_ms < 10000; waited_ms += 2) {
        usleep(2000);
        rc = run(db_, "PRAGMA journal_mode=DELETE");
    }
    if (rc == SQLITE_OK)
        rc = run(db_, "PRAGMA synchronous=FULL");
    return status_from_sqlite(rc);
}

LSTATUS Database::check_schema(bool writing)
{
    // Judged before anything is written, so that a file that is not a
    // registry is left exactly as it was.
    SchemaState state;
    if (int rc = read_schema_state(db_, state); rc != SQLITE_OK)
        return rc == SQLITE_READONLY_ROLLBACK ? hot_journal_unreadable : status_from_sqlite(rc);
    if (!state.ours() && !state.empty())
        return ERROR_BADDB;
    if (!read_only_) {
        if (LSTATUS status = use_rollback_journal(); status != ERROR_SUCCESS)
            return status;
    }
    if (state.empty()) {
        // Made by a writer that has not written its tables yet, or by this
        // process just now: the tables are made by whoever writes first.
        if (!writing || read_only_)
            return writing ? ERROR_ACCESS_DENIED : empty_file;
        int rc = run(db_, "BEGIN IMMEDIATE");
        if (rc == SQLITE_OK) {
            rc = read_schema_state(db_, state);
            if (rc == SQLITE_OK && state.empty())
                rc = run(db_, schema);
            if (rc == SQLITE_OK)
                rc = run(db_, "COMMIT");
            else
                run(db_, "ROLLBACK");
        }
        if (rc == SQLITE_OK)
            rc = read_schema_state(db_, state);
        if (rc != SQLITE_OK)
            return status_from_sqlite(rc);
        if (!state.ours())
            return ERROR_BADDB;
    }
    first_layout_ = state.version == first_layout_version;
    return ERROR_SUCCESS;
}

void Database::note_layout(bool writing)
{
    if (!first_layout_)
        return;
    Statement version(*this, "PRAGMA user_version");
    first_layout_ = version.step() && version.integer(0) == first_layout_version;
    if (first_layout_ && writing)
        convert_layout();
}

void Database::settle_layout(bool rolled_back)
{
    if (converting_ && rolled_back)
        first_layout_ = true;
    converting_ = false;
}

void Database::convert_layout()
{
    KeyStore store(*this);
    const KeyId root = scope_ == Scope::machine ? 3 : 2;
    KeyId software = store.find_subkey(root, "Software").value_or(0);
    if (software == 0)
        software = store.create_subkey(root, "Software");
    KeyId classes = store.find_subkey(software, "Classes").value_or(0);
    if (classes == 0)
        classes = store.create_subkey(software, "Classes");
    merge_keys(*this, store, 1, classes, 0);
    exec("PRAGMA user_version = 2");
    first_layout_ = false;
    converting_ = true;
}

} // namespace morvane::registry
