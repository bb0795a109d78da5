// The process's connection to the registry database: opening and checking the
// file, prepared statements, transactions, and the mapping of database
// failures to system error codes.
#ifndef MORVANE_REGISTRY_DATABASE_H
#define MORVANE_REGISTRY_DATABASE_H

#include "registry/folder_watch.h"
#include "registry/update_scope.h"
#include "registry/write_counter.h"

#include <winreg.h>

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvane::registry {

// A failure inside a registry call, carrying the system error code that the
// call returns. Caught at the C surface; never leaves the library.
struct RegistryError {
    LSTATUS code;
};

[[noreturn]] inline void fail(LSTATUS code) { throw RegistryError{code}; }

// The system error code for a database result code.
LSTATUS status_from_sqlite(int result);

class Database {
public:
    Database() = default;
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database();

    // Opens the file that registry_file_path() names, unless already open in
    // this process and still the file at that path (outside an update).
    // Returns ERROR_SUCCESS or why it cannot be used.
    LSTATUS ensure_open();
    void close();
    // Forgets a connection inherited through fork() without touching it: its
    // file locks and state belong to the parent.
    void abandon();
    // Records, in a child process, that the connection is the parent's.
    void mark_inherited() { inherited_ = true; }
    bool is_open() const { return db_ != nullptr; }
    // Whether the file could only be opened for reading: every write then
    // fails with ERROR_ACCESS_DENIED.
    bool read_only() const { return read_only_; }

    // Whether the open file is no longer the one at the registry's path
    // (deleted, or replaced by another file). Only for a connection this
    // process opened.
    bool file_replaced();
    // Closes a connection to a replaced file: the next call opens the path
    // again, and handles opened before then no longer reach a key.
    void leave_replaced_file();
    // Counts the files left that way; a handle remembers the count it was
    // opened under.
    std::uint64_t generation() const { return generation_; }

    // The count of the registry's commits, shared with other processes.
    WriteCounter &counter() { return counter_; }

    // The registry update that spans several calls, when one is open.
    UpdateScope &scope() { return scope_; }
    LSTATUS begin_scope();
    LSTATUS end_scope(bool keep);

    // Fails the current call with code; inside an update it also marks the
    // whole update failed, so that it is rolled back and not reported done.
    [[noreturn]] void fault(LSTATUS code);

    // The prepared statement for a fixed SQL text, made once per connection.
    sqlite3_stmt *statement(const char *sql);
    void exec(const char *sql);

private:
    LSTATUS open_file(const std::string &name, int flags);
    LSTATUS configure();
    LSTATUS use_write_ahead_log();
    LSTATUS check_schema();

    sqlite3 *db_ = nullptr;
    bool inherited_ = false;
    bool read_only_ = false;
    std::uint64_t generation_ = 0;
    UpdateScope scope_;
    WriteCounter counter_;
    FolderWatch folder_;
    std::unordered_map<const char *, sqlite3_stmt *> statements_;
    std::vector<sqlite3 *> abandoned_;
};

// One use of a prepared statement: bind, step, read; reset when it ends.
class Statement {
public:
    Statement(Database &db, const char *sql) : db_(&db), stmt_(db.statement(sql)) {}
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    Statement &bind(int index, std::int64_t value);
    Statement &bind(int index, std::string_view bytes);
    Statement &bind_blob(int index, const void *data, std::size_t size);
    // Steps once: true while a row is there, false when done; throws on failure.
    bool step();
    void run() { (void)step(); }

    bool null(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    std::int64_t integer(int column) const;
    std::string text(int column) const;
    std::vector<BYTE> blob(int column) const;

private:
    Database *db_;
    sqlite3_stmt *stmt_;
};

// A transaction around one registry call. A writing transaction takes the
// write lock at its start, so that it never has to upgrade from reading (which
// could fail under contention instead of waiting). Rolled back unless committed.
// Inside an open update it is a savepoint of the update's transaction, so
// that a failing call still undoes only its own changes.
class Transaction {
public:
    enum class Kind { read, write };
    Transaction(Database &db, Kind kind);
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction();
    void commit();

private:
    Database &db_;
    Kind kind_;
    bool open_;
    bool nested_;
};

} // namespace morvane::registry

#endif
