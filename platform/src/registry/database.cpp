// Following the registry file at its path, prepared statements and transactions.
#include "registry/database.h"

#include <morvane_assert.h>

#include <cerrno>
#include <sys/stat.h>

namespace morvane::registry {
namespace {

// How long a call waits for another process's write before giving up.
constexpr int busy_timeout_ms = 10000;

FileIdentity identity_of(const struct stat &info) { return {info.st_dev, info.st_ino}; }

} // namespace

CallState &call_state()
{
    thread_local CallState state;
    return state;
}

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

LSTATUS Database::follow_path(bool writing)
{
    // A connection inherited through fork() is the parent's, to be left alone.
    if (inherited_)
        abandon();
    // An update's transaction holds the file it began on until it ends.
    if (update_.active())
        return ERROR_SUCCESS;
    if (path_.empty())
        path_ = registry_file_path(scope_);
    struct stat found {};
    if (path_.empty() || stat(path_.c_str(), &found) != 0) {
        const int error = path_.empty() ? ENOENT : errno;
        if (error != ENOENT && error != ENOTDIR)
            return status_from_errno(error);
        // No file: an empty registry to read; a write makes the file.
        if (source_ == Source::file || source_ == Source::copy)
            leave_file();
        if (!writing)
            return source_ == Source::empty ? ERROR_SUCCESS : open_empty();
        if (LSTATUS status = prepare_registry_file(path_, scope_); status != ERROR_SUCCESS)
            return status;
        return open_path(writing);
    }
    const bool same_file = identity_of(found) == identity_;
    if (same_file && source_ == Source::file)
        return ERROR_SUCCESS;
    if (same_file && source_ == Source::copy && copy_marks() == copy_marks_)
        return ERROR_SUCCESS;
    if (source_ == Source::file || source_ == Source::copy) {
        if (same_file)
            close(); // the same file, read again: its keys keep their handles
        else
            leave_file();
    }
    return open_path(writing);
}

LSTATUS Database::open_path(bool writing)
{
    close();
    // The identity is taken after opening and checked against the path, so
    // that a replacement racing the open is noticed at the next call.
    LSTATUS status = open_connection(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    struct stat opened {};
    if (status == ERROR_SUCCESS && stat(path_.c_str(), &opened) != 0)
        status = ERROR_CANTOPEN;
    if (status == ERROR_SUCCESS) {
        identity_ = identity_of(opened);
        source_ = Source::file;
        status = check_schema(writing);
    }
    if (status == hot_journal_unreadable) {
        // A writer with more rights died inside a transaction: its journal
        // holds the registry as it was, which this process cannot write back.
        close();
        identity_ = identity_of(opened);
        status = open_private_copy();
    }
    if (status == empty_file) {
        // Made just now by a writer that has not written its tables yet.
        close();
        return open_empty();
    }
    if (status != ERROR_SUCCESS)
        close();
    return status;
}

LSTATUS Database::open_connection(const std::string &name, int flags)
{
    const int rc = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    inherited_ = false;
    if (db_ != nullptr) {
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, busy_timeout_ms);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    }
    if (rc != SQLITE_OK)
        return status_from_sqlite(rc);
    // A file this process may not write opens for reading only.
    read_only_ = sqlite3_db_readonly(db_, "main") == 1;
    return ERROR_SUCCESS;
}

LSTATUS Database::open_empty()
{
    close();
    LSTATUS status = open_connection(":memory:", SQLITE_OPEN_READWRITE);
    if (status == ERROR_SUCCESS)
        status = create_schema();
    if (status != ERROR_SUCCESS) {
        close();
        return status;
    }
    // Nothing is written to a registry that is not there.
    read_only_ = true;
    source_ = Source::empty;
    return ERROR_SUCCESS;
}

void Database::leave_file()
{
    close();
    identity_ = {};
    ++generation_;
}

void Database::close()
{
    for (auto &entry : statements_)
        sqlite3_finalize(entry.second);
    statements_.clear();
    if (db_ != nullptr)
        sqlite3_close_v2(db_);
    db_ = nullptr;
    source_ = Source::none;
    read_only_ = false;
    first_layout_ = false;
    memo_.reset();
    // Closing rolls back an update still open.
    update_ = {};
}

void Database::forget_path()
{
    close();
    identity_ = {};
    path_.clear();
}

void Database::abandon()
{
    // Kept reachable on purpose: closing would act on the parent's state.
    // An update the parent had open stays the parent's.
    if (db_ != nullptr)
        abandoned_.push_back(db_);
    db_ = nullptr;
    statements_.clear();
    close();
    identity_ = {};
    inherited_ = false;
}

sqlite3_stmt *Database::statement(const char *sql)
{
    if (db_ == nullptr)
        fault(ERROR_CANTOPEN);
    if (reads_ == Reads::memo_only)
        take_read_lock();
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

std::optional<FileStamp> Database::stamp_now()
{
    sqlite3_file *file = nullptr;
    if (db_ == nullptr || sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr)
        return std::nullopt;
    FileStamp stamp{};
    constexpr int header_offset = 16;
    if (file->pMethods->xRead(file, stamp.data(), static_cast<int>(stamp.size()), header_offset) != SQLITE_OK)
        return std::nullopt;
    return stamp;
}

bool Database::memo_allowed() const
{
    return source_ == Source::file && !call_state().wrote && !call_state().without_memo;
}

bool Database::memo_holds()
{
    if (!memo_allowed() || !memo_.stamp())
        return false;
    const std::optional<FileStamp> now = stamp_now();
    return now && *now == *memo_.stamp();
}

void Database::settle_memo()
{
    const std::optional<FileStamp> now = stamp_now();
    if (now && memo_.stamp() && *now == *memo_.stamp()) {
        reads_ = Reads::locked;
        return;
    }
    memo_.reset(now);
    reads_ = now ? Reads::locked : Reads::plain;
    // Answers already given came from an older file than the lock now shows.
    if (answered_)
        throw StaleReads{};
}

void Database::take_read_lock()
{
    MORVANE_ASSERT(reads_ == Reads::memo_only);
    reads_ = Reads::taking_lock;
    exec("BEGIN");
    locked_late_ = true;
    // Reading the schema's version takes the read lock, under which the
    // header is read.
    exec("PRAGMA schema_version");
    note_layout(false);
    settle_memo();
}

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
    : db_(db), open_(false), nested_(db.update().active())
{
    MORVANE_ASSERT(db_.reads_ == Database::Reads::plain);
    if (kind == Kind::write && db_.read_only())
        db_.fault(ERROR_ACCESS_DENIED);
    // Inside an update its transaction is open; outside, no earlier call's is.
    MORVANE_ASSERT((sqlite3_get_autocommit(db_.connection()) == 0) == nested_);
    if (kind == Kind::write)
        call_state().wrote = true;
    if (nested_) {
        db_.exec("SAVEPOINT registry_call");
        open_ = true;
        return;
    }
    if (kind == Kind::read && db_.memo_holds()) {
        db_.reads_ = Database::Reads::memo_only;
        on_memo_ = true;
        return;
    }
    db_.exec(kind == Kind::write ? "BEGIN IMMEDIATE" : "BEGIN");
    try {
        db_.note_layout(kind == Kind::write);
        if (kind == Kind::read && db_.memo_allowed()) {
            db_.exec("PRAGMA schema_version");
            db_.settle_memo();
        }
    } catch (...) {
        // No destructor runs for an object whose constructor throws.
        sqlite3_exec(db_.connection(), "ROLLBACK", nullptr, nullptr, nullptr);
        db_.settle_layout(true);
        end_reads();
        throw;
    }
    open_ = true;
}

Transaction::~Transaction()
{
    // Nothing to report from here: the call already fails.
    try {
        if (on_memo_ && db_.locked_late_)
            db_.exec("ROLLBACK");
        if (open_ && nested_) {
            db_.exec("ROLLBACK TO registry_call");
            db_.exec("RELEASE registry_call");
        } else if (open_) {
            db_.exec("ROLLBACK");
            db_.settle_layout(true);
        }
    } catch (...) {
    }
    end_reads();
}

void Transaction::commit()
{
    MORVANE_ASSERT(!committed_); // committed once
    committed_ = true;
    if (on_memo_) {
        if (db_.locked_late_)
            db_.exec("COMMIT");
        on_memo_ = false;
    } else if (open_) {
        MORVANE_ASSERT(nested_ == db_.update().active()); // an update cannot end inside a call
        db_.exec(nested_ ? "RELEASE registry_call" : "COMMIT");
        open_ = false;
        if (!nested_)
            db_.settle_layout(false);
    }
    end_reads();
}

void Transaction::end_reads()
{
    db_.reads_ = Database::Reads::plain;
    db_.answered_ = false;
    db_.locked_late_ = false;
}

} // namespace morvane::registry
