// The process's connection to one registry file: following the file at the
// path, prepared statements, transactions, and the mapping of database
// failures to system error codes.
//
// Freshness: every call first looks the path up (one stat). The same file
// stays open; another file at the path (replaced by rename) is opened in its
// place, and a missing file reads as an empty registry. SQLite's rollback
// journal and file locks give each transaction a committed state of the file,
// whoever committed it; the page cache is checked against the file's change
// counter at the start of each transaction. Beyond that, a read may be
// answered from the memo of earlier reads while the file is provably
// unchanged (read_memo.h).
#pragma once

#include "registry/read_memo.h"
#include "registry/registry_files.h"
#include "registry/update_scope.h"

#include <winreg.h>

#include <sqlite3.h>

#include <sys/types.h>

#include <cstdint>
#include <optional>
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

// What the registry call running on this thread has done so far: whether it
// wrote (its later reads then take the lock, never the memo), and whether it
// runs again after stale reads (then without the memo). Set up by the call
// boundary for the length of one call.
struct CallState {
    bool wrote = false;
    bool without_memo = false;
};
CallState &call_state();

// The system error code for a database result code.
LSTATUS status_from_sqlite(int result);

// Identifies a file across lookups of its path.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

class Database {
public:
    explicit Database(Scope scope) : scope_(scope) {}
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    ~Database();

    Scope scope() const { return scope_; }
    // The file this connection follows, as the last call found it.
    const std::string &path() const { return path_; }

    // Makes the connection the file now at the path, at the start of a call:
    // the same file stays open; another is opened in its place; a missing
    // file reads as an empty registry, or, when the call writes, is made.
    // Returns ERROR_SUCCESS or why the file cannot be used.
    LSTATUS follow_path(bool writing);
    void close();
    // Closes and reads the path anew at the next call (MORVANE_REGISTRY may
    // have changed).
    void forget_path();
    // Forgets a connection inherited through fork() without touching it: its
    // file locks and state belong to the parent.
    void abandon();
    // Records, in a child process, that the connection is the parent's.
    void mark_inherited() { inherited_ = true; }
    // Whether writes fail with ERROR_ACCESS_DENIED: a file this process may
    // only read, or one read through a private copy.
    bool read_only() const { return read_only_; }
    // Whether a file is there (else the connection is an empty registry).
    bool present() const { return source_ == Source::file || source_ == Source::copy; }
    // Whether the file holds its classes in the first layout, as root row 1.
    bool first_layout() const { return first_layout_; }

    // Counts the files this connection left (deleted or replaced); a handle
    // remembers the count it was opened under.
    std::uint64_t generation() const { return generation_; }

    // The registry update that spans several calls, when one is open.
    UpdateScope &update() { return update_; }
    LSTATUS begin_update();
    LSTATUS end_update(bool keep);

    // Fails the current call with code; inside an update it also marks the
    // whole update failed, so that it is rolled back and not reported done.
    [[noreturn]] void fault(LSTATUS code);

    // The memo of earlier reads (read_memo.h). A read transaction begins on
    // it alone when it still holds for the file; the first statement then
    // takes the read lock.
    ReadMemo &memo() { return memo_; }
    // Whether lookups may use the memo and add to it now.
    bool remembering() const { return reads_ != Reads::plain; }
    // Records that a lookup was answered from the memo in this transaction.
    void answered_from_memo() { answered_ = true; }

    sqlite3 *connection() const { return db_; }
    // The prepared statement for a fixed SQL text, made once per connection.
    sqlite3_stmt *statement(const char *sql);
    void exec(const char *sql);
    // At the start of a transaction: whether the file still has the first
    // layout (another process may have converted it); a writing transaction
    // converts it. At its end: a conversion rolled back with it is forgotten.
    void note_layout(bool writing);
    void settle_layout(bool rolled_back);

private:
    friend class Transaction;
    enum class Source { none, file, empty, copy };
    // A read transaction's state: without the memo; on the memo alone, no
    // lock taken yet; under the read lock, the memo holding for the file.
    enum class Reads { plain, memo_only, taking_lock, locked };

    // The file's header as now (under the lock or not, as the caller is);
    // none when it cannot be read.
    std::optional<FileStamp> stamp_now();
    // Whether this call's reads of the file may use the memo: a file (not
    // the empty stand-in or a private copy), in a call that has not written
    // and does not run again after stale reads.
    bool memo_allowed() const;
    // At a read transaction's start: whether it may run on the memo alone.
    bool memo_holds();
    // Takes the read lock of a transaction begun on the memo alone, before
    // its first statement; throws StaleReads when answers were used and the
    // file moved meanwhile.
    void take_read_lock();
    // Under a read transaction's lock: keeps the memo if it holds for the
    // file, else starts it anew for the file as it is.
    void settle_memo();

    // Beyond the system error codes, for open_path alone.
    static constexpr LSTATUS hot_journal_unreadable = -2;
    static constexpr LSTATUS empty_file = -3;

    LSTATUS open_path(bool writing);
    LSTATUS open_connection(const std::string &name, int flags);
    LSTATUS open_empty();
    LSTATUS open_private_copy();
    LSTATUS create_schema();
    LSTATUS check_schema(bool writing);
    LSTATUS use_rollback_journal();
    void convert_layout();
    void leave_file();

    Scope scope_;
    std::string path_;
    sqlite3 *db_ = nullptr;
    Source source_ = Source::none;
    FileIdentity identity_;
    // For a private copy: the journal it was rolled back from, and the file's
    // last change, so that the copy is made again once either moves.
    struct CopyMarks {
        FileIdentity journal;
        std::int64_t journal_size = -1;
        std::int64_t file_changed_ns = 0;
        bool operator==(const CopyMarks &) const = default;
    };
    CopyMarks copy_marks() const;
    CopyMarks copy_marks_;
    bool inherited_ = false;
    bool read_only_ = false;
    bool first_layout_ = false;
    // Converted in the transaction now open, so undone by its rollback.
    bool converting_ = false;
    std::uint64_t generation_ = 0;
    ReadMemo memo_;
    Reads reads_ = Reads::plain;
    // In this transaction: an answer came from the memo; the lock was taken late.
    bool answered_ = false;
    bool locked_late_ = false;
    UpdateScope update_;
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

// A transaction around one registry call on one file. A writing transaction
// takes the write lock at its start, so that it never has to upgrade from
// reading (which could fail under contention instead of waiting), and brings
// a file of the first layout to the current one. Rolled back unless
// committed. Inside an open update it is a savepoint of the update's
// transaction, so that a failing call still undoes only its own changes.
class Transaction {
public:
    enum class Kind { read, write };
    Transaction(Database &db, Kind kind);
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction();
    void commit();

private:
    void end_reads();

    Database &db_;
    bool open_;
    bool nested_;
    // Begun on the memo alone; the database knows whether the lock came since.
    bool on_memo_ = false;
    bool committed_ = false;
};

} // namespace morvane::registry
