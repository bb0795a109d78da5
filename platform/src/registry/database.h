// The process's connection to the registry database: opening and checking the
// file, prepared statements, transactions, and the mapping of database
// failures to system error codes.
#ifndef MORVANE_REGISTRY_DATABASE_H
#define MORVANE_REGISTRY_DATABASE_H

#include <winreg.h>

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
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
    // this process. Returns ERROR_SUCCESS or why it cannot be used.
    LSTATUS ensure_open();
    void close();
    // Forgets a connection inherited through fork() without touching it: its
    // file locks and state belong to the parent.
    void abandon();
    bool is_open() const { return db_ != nullptr; }

    // The prepared statement for a fixed SQL text, made once per connection.
    sqlite3_stmt *statement(const char *sql);
    void exec(const char *sql);

private:
    LSTATUS configure();
    LSTATUS use_write_ahead_log();
    LSTATUS check_schema();

    sqlite3 *db_ = nullptr;
    pid_t owner_ = 0;
    std::unordered_map<const char *, sqlite3_stmt *> statements_;
    std::vector<sqlite3 *> abandoned_;
};

// One use of a prepared statement: bind, step, read; reset when it ends.
class Statement {
public:
    Statement(Database &db, const char *sql) : stmt_(db.statement(sql)) {}
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    Statement &bind(int index, std::int64_t value);
    Statement &bind(int index, std::string_view bytes);
    Statement &bind_blob(int index, const void *data, std::size_t size);
    // Steps once: true while a row is there, false when done; throws on failure.
    bool step();
    void run() { (void)step(); }

    std::int64_t integer(int column) const;
    std::string text(int column) const;
    std::vector<BYTE> blob(int column) const;

private:
    sqlite3_stmt *stmt_;
};

// A transaction around one registry call. A writing transaction takes the
// write lock at its start, so that it never has to upgrade from reading (which
// could fail under contention instead of waiting). Rolled back unless committed.
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
};

} // namespace morvane::registry

#endif
