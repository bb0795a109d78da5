#include "registry/database.h"

#include "registry/change_stamp.h"
#include "registry/database_file.h"

#include <unistd.h>

namespace morvane::registry {
namespace {

// Marks a database file as a registry ("MvRg") and gives its table layout.
constexpr std::int64_t application_id = 0x4D765267;
constexpr std::int64_t schema_version = 1;

// Keys form a tree through parent; the seven predefined roots are the rows
// 1 to 7 with parent 0. Names compare through their folded form. Identifiers
// are never reused, so a handle to a deleted key cannot reach a newer one.
// Values enumerate in the order they were first set, as on Windows.
constexpr const char *create_schema = R"sql(
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
PRAGMA user_version = 1;
)sql";

static_assert(application_id == 1299599975);

// How long a call waits for another process's write before giving up.
constexpr int busy_timeout_ms = 10000;

struct SchemaState {
    std::int64_t application = 0;
    std::int64_t version = 0;
    std::int64_t objects = 0;
    bool ours() const { return application == application_id && version == schema_version; }
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

} // namespace

LSTATUS status_from_sqlite(int result)
{
    switch (result & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_NOTADB:
        return ERROR_BADDB;
    case SQLITE_CORRUPT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_CANTOPEN:
        return ERROR_CANTOPEN;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_TOOBIG:
        return ERROR_INVALID_PARAMETER;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_PROTOCOL:
        return ERROR_REGISTRY_IO_FAILED;
    default:
        // Anything else means the file does not hold the tables we expect.
        return ERROR_BADDB;
    }
}

Database::~Database() { close(); }

LSTATUS Database::ensure_open()
{
    // Asked once per call: a connection inherited through fork() is the
    // parent's, to be left alone and not judged.
    if (db_ != nullptr && !inherited_) {
        // A registry file deleted or replaced under this process: the call
        // works on the file at the path, as every other process does. Not
        // within an update, whose transaction holds the file it began on.
        if (scope_.active() || !file_replaced())
            return ERROR_SUCCESS;
        leave_replaced_file();
    }
    if (db_ != nullptr)
        abandon();
    const std::string path = registry_file_path();
    if (LSTATUS status = prepare_registry_file(path); status != ERROR_SUCCESS)
        return status;
    LSTATUS status = open_file(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (status != ERROR_SUCCESS && read_only_) {
        // Readers of a write-ahead log share an index file beside the
        // database; where this process cannot make one, it reads the file
        // as it stands.
        close();
        status = open_file(unshared_reading_uri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    }
    // Whoever writes the registry must move its write counter, or other
    // processes would go on answering from what they kept.
    if (status == ERROR_SUCCESS && !counter_.attach(path, !read_only_) && !read_only_) {
        read_only_ = true;
        counter_.attach(path, false);
    }
    if (status == ERROR_SUCCESS)
        folder_.watch(path);
    else
        close();
    return status;
}

LSTATUS Database::open_file(const std::string &name, int flags)
{
    const int rc = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    inherited_ = false;
    // A new connection may see another file, or the same one changed meanwhile.
    note_local_change();
    if (rc != SQLITE_OK)
        return status_from_sqlite(rc);
    // A file this process may not write opens for reading only.
    read_only_ = sqlite3_db_readonly(db_, "main") == 1;
    if (LSTATUS status = configure(); status != ERROR_SUCCESS)
        return status;
    return check_schema();
}

LSTATUS Database::configure()
{
    sqlite3_busy_timeout(db_, busy_timeout_ms);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    return ERROR_SUCCESS;
}

LSTATUS Database::use_write_ahead_log()
{
    // Write-ahead logging lets readers in other processes go on during a
    // write and never see it half done; FULL makes each commit durable.
    // Switching a new file's journal takes a lock that the busy handler does
    // not wait for, so processes opening the file together retry here.
    int rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    for (int waited_ms = 0; (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && waited_ms < busy_timeout_ms;
         waited_ms += 2) {
        usleep(2000);
        rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return status_from_sqlite(rc);
}

LSTATUS Database::check_schema()
{
    // Judged before anything is written, so that a file that is not a
    // registry is left exactly as it was.
    SchemaState state;
    if (int rc = read_schema_state(db_, state); rc != SQLITE_OK)
        return status_from_sqlite(rc);
    if (!state.ours() && !state.empty())
        return ERROR_BADDB;
    // A registry can only be read from a file that holds one already.
    if (read_only_)
        return state.ours() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    if (LSTATUS status = use_write_ahead_log(); status != ERROR_SUCCESS)
        return status;
    if (state.ours())
        return ERROR_SUCCESS;
    // A new file: make the tables under the write lock, unless another
    // process made them meanwhile.
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        rc = read_schema_state(db_, state);
        if (rc == SQLITE_OK && state.empty())
            rc = sqlite3_exec(db_, create_schema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        else
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK)
        rc = read_schema_state(db_, state);
    if (rc != SQLITE_OK)
        return status_from_sqlite(rc);
    return state.ours() ? ERROR_SUCCESS : ERROR_BADDB;
}

void Database::close()
{
    note_local_change();
    for (auto &entry : statements_)
        sqlite3_finalize(entry.second);
    statements_.clear();
    counter_.detach();
    folder_.forget();
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    // Closing rolls back an update still open.
    scope_ = {};
}

void Database::abandon()
{
    note_local_change();
    // Kept reachable on purpose: closing would act on the parent's state.
    // An update the parent had open stays the parent's.
    abandoned_.push_back(db_);
    statements_.clear();
    counter_.detach();
    folder_.forget();
    db_ = nullptr;
    scope_ = {};
}

sqlite3_stmt *Database::statement(const char *sql)
{
    if (db_ == nullptr)
        fault(ERROR_CANTOPEN);
    auto found = statements_.find(sql);
    if (found != statements_.end())
        return found->second;
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        fault(status_from_sqlite(rc));
    }
    try {
        statements_.emplace(sql, stmt);
    } catch (...) {
        sqlite3_finalize(stmt);
        throw;
    }
    return stmt;
}

void Database::exec(const char *sql) { Statement(*this, sql).run(); }

Statement::~Statement()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

Statement &Statement::bind(int index, std::int64_t value)
{
    if (int rc = sqlite3_bind_int64(stmt_, index, value); rc != SQLITE_OK)
        db_->fault(status_from_sqlite(rc));
    return *this;
}

Statement &Statement::bind(int index, std::string_view bytes)
{
    return bind_blob(index, bytes.data(), bytes.size());
}

Statement &Statement::bind_blob(int index, const void *data, std::size_t size)
{
    // A zero-length blob, not NULL, for empty names and empty data.
    const int rc = size == 0 ? sqlite3_bind_zeroblob(stmt_, index, 0)
                             : sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        db_->fault(status_from_sqlite(rc));
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    db_->fault(status_from_sqlite(rc));
}

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::text(int column) const
{
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<std::size_t>(size));
}

std::vector<BYTE> Statement::blob(int column) const
{
    const auto *bytes = static_cast<const BYTE *>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes == nullptr ? std::vector<BYTE>() : std::vector<BYTE>(bytes, bytes + size);
}

Transaction::Transaction(Database &db, Kind kind)
    : db_(db), kind_(kind), open_(false), nested_(db.scope().active())
{
    if (kind == Kind::write && db_.read_only())
        db_.fault(ERROR_ACCESS_DENIED);
    if (nested_)
        db_.exec("SAVEPOINT registry_call");
    else
        db_.exec(kind == Kind::write ? "BEGIN IMMEDIATE" : "BEGIN");
    open_ = true;
}

Transaction::~Transaction()
{
    if (open_) {
        // Rows this connection wrote were visible to its readers until now.
        if (kind_ == Kind::write)
            note_local_change();
        // Nothing to report from here: the call already fails.
        try {
            if (nested_) {
                db_.exec("ROLLBACK TO registry_call");
                db_.exec("RELEASE registry_call");
            } else {
                db_.exec("ROLLBACK");
            }
        } catch (...) {
        }
    }
}

void Transaction::commit()
{
    if (nested_ || kind_ == Kind::read) {
        db_.exec(nested_ ? "RELEASE registry_call" : "COMMIT");
    } else {
        CommitMark committing(db_.counter());
        db_.exec("COMMIT");
    }
    open_ = false;
    if (kind_ == Kind::write)
        note_local_change();
}

} // namespace morvane::registry
