// One registry call: it holds the process's registry lock while it runs and
// reaches the connection and the handle table through it.
#ifndef MORVANE_REGISTRY_REGISTRY_SESSION_H
#define MORVANE_REGISTRY_REGISTRY_SESSION_H

#include "registry/database.h"
#include "registry/handle_table.h"
#include "registry/kept_reads.h"
#include "registry/key_store.h"

#include <mutex>
#include <new>

namespace morvane::registry {

class Session {
public:
    // Whether the call needs the database or only the handle table.
    enum class Uses { database, handles };

    // Takes the lock and opens the database when the call needs it; throws
    // RegistryError with the reason when it cannot be opened.
    explicit Session(Uses uses = Uses::database);

    Database &db();
    KeyStore &store() { return store_; }
    HandleTable &handles();
    KeptReads &kept();

    // The key a handle names: ERROR_INVALID_HANDLE for an unknown handle,
    // ERROR_ACCESS_DENIED when it was not opened with every right in needed,
    // ERROR_KEY_DELETED when it was opened on a registry file since replaced.
    OpenKey key(HKEY handle, REGSAM needed);

    // Closes the connection and forgets every handle.
    static void reset();

private:
    std::unique_lock<std::mutex> lock_;
    KeyStore store_;
};

// A call on the key of one handle: the session, the handle checked for the
// rights the call needs, a transaction, and the key known to be still there
// (ERROR_KEY_DELETED otherwise).
class KeyCall {
public:
    KeyCall(HKEY handle, REGSAM needed, Transaction::Kind kind);

    KeyId key() const { return open_.key; }
    REGSAM access() const { return open_.access; }
    KeyStore &store() { return session_.store(); }
    HandleTable &handles() { return session_.handles(); }
    std::uint64_t generation() { return session_.db().generation(); }
    void commit() { transaction_.commit(); }

private:
    Session session_;
    OpenKey open_;
    Transaction transaction_;
};

// Runs the body of a registry call and turns its failures into the call's
// system error code, so that nothing is thrown out of the library.
template <typename Body>
LSTATUS registry_call(Body &&body) noexcept
{
    try {
        return body();
    } catch (const RegistryError &error) {
        return error.code;
    } catch (const std::bad_alloc &) {
        return ERROR_OUTOFMEMORY;
    } catch (...) {
        return ERROR_REGISTRY_IO_FAILED;
    }
}

} // namespace morvane::registry

#endif
