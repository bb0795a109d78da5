// A handle's key as one call finds it in the files it spans. A key of one
// file is that file's row. A key of the classes view is the key at its path
// below the user's classes and below the machine's: it exists where either
// holds it, its values are the user's where the user's key holds them, and
// writes go to the user's (or, when the process chose the machine scope, the
// machine's alone, the only file the view then spans).
#pragma once

#include "registry/registry_session.h"

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace morvane::registry {

// The files a key spans, in the order their values win; writes go to the first.
struct FileList {
    std::array<Scope, 2> scopes{};
    std::size_t count = 0;
    const Scope *begin() const { return scopes.data(); }
    const Scope *end() const { return scopes.data() + count; }
};
FileList files_of(const OpenKey &open);

// The key's row in a file under a transaction of that file; none when the
// file does not hold it.
std::optional<KeyId> find_in(Database &db, KeyStore &store, const OpenKey &open);

// The key in one file under a read transaction of that file: visit(store,
// row) gets the key's row, or none when the file does not hold it. A key of
// one file that is gone fails with ERROR_KEY_DELETED.
template <typename Visit>
void visit_file(Session &session, const OpenKey &open, Scope scope, Visit &&visit)
{
    Database &db = session.follow(scope, false);
    KeyStore store(db);
    Transaction transaction(db, Transaction::Kind::read);
    const std::optional<KeyId> key = find_in(db, store, open);
    if (!key && !open.classes && !open.root)
        fail(ERROR_KEY_DELETED);
    visit(store, key);
    transaction.commit();
}

// Visits each file the key spans; fails with ERROR_KEY_DELETED when none
// holds it (a predefined root always exists).
template <typename Visit>
void visit_files(Session &session, const OpenKey &open, Visit &&visit)
{
    bool held = open.root;
    for (const Scope scope : files_of(open)) {
        visit_file(session, open, scope, [&](KeyStore &store, std::optional<KeyId> key) {
            held = held || key.has_value();
            visit(store, key);
        });
    }
    if (!held)
        fail(ERROR_KEY_DELETED);
}

// Fails with ERROR_KEY_DELETED unless some file holds the key.
void require_held(Session &session, const OpenKey &open);

// The key reached by levels below a key, as a handle would hold it; none
// when no file holds it. Fails with ERROR_KEY_DELETED when the starting key
// itself is gone.
std::optional<OpenKey> open_below(Session &session, const OpenKey &from,
                                  const std::vector<std::string_view> &levels, REGSAM access);

// The file a write through the key goes to, followed to what is at its path;
// with make, the file is made when missing, after checking that some file
// still holds the key (a handle never brings back a key deleted meanwhile).
Database &written_file(Session &session, const OpenKey &open, bool make);
// Inside the write's transaction: the key's row in the written file; with
// make, a key of the classes view that only another file holds is made there
// first. Fails with ERROR_KEY_DELETED for a key of one file that is gone.
std::optional<KeyId> written_key(Database &db, KeyStore &store, const OpenKey &open, bool make);

// A write on the file where the key's writes go, in one transaction that
// write(store, row, transaction) commits. With make, the file and the key are
// made as written_file and written_key say; without, write gets none where
// the file lacks the key, and a file that is not there is only read.
template <typename Write>
void write_file(Session &session, const OpenKey &open, bool make, Write &&write)
{
    Database &db = written_file(session, open, make);
    const bool writing = make || db.present();
    Transaction transaction(db, writing ? Transaction::Kind::write : Transaction::Kind::read);
    KeyStore store(db);
    write(store, written_key(db, store, open, make), transaction);
}

// Whether a file other than the one written holds the key at levels below a
// key of the classes view (a key of one file has none).
bool held_elsewhere(Session &session, const OpenKey &open, const std::vector<std::string_view> &levels);

} // namespace morvane::registry
