// One registry call: it holds the process's registry lock while it runs and
// reaches the two registry files and the handle table through it.
#pragma once

#include "registry/database.h"
#include "registry/handle_table.h"
#include "registry/key_store.h"

#include <boundary.h>
#include <morvane_assert.h>

#include <mutex>

namespace morvane::registry {

class Session {
public:
    Session();

    Database &db(Scope scope);
    // The file followed to what is at its path now, for a call that reads or
    // writes it; throws RegistryError with the reason it cannot be used.
    Database &follow(Scope scope, bool writing);
    HandleTable &handles();

    // The key a handle names: ERROR_INVALID_HANDLE for an unknown handle,
    // ERROR_ACCESS_DENIED when it was not opened with every right in needed.
    OpenKey key(HKEY handle, REGSAM needed);

    // Whether HKEY_CLASSES_ROOT is the machine's classes alone (a process
    // that registers for every user) rather than the user's over the machine's.
    bool machine_classes() const;
    void set_machine_classes(bool machine);

    // Closes both files, forgets every handle and the scope, and reads the
    // paths anew.
    static void reset();

private:
    std::unique_lock<std::mutex> lock_;
};

// What a registry call returns when it runs out of memory or fails in a way it does
// not name; a RegistryError returns its own code.
inline constexpr FailureCodes<LSTATUS> registry_failures{ERROR_OUTOFMEMORY, ERROR_REGISTRY_IO_FAILED};

// Runs the body of a registry call, its failures turned into its result code.
// A call whose answers from the memo of earlier reads met a newer file runs
// once more without the memo (it has written nothing: a call that wrote no
// longer uses the memo).
template <typename Body>
LSTATUS registry_call(Body &&body) noexcept
{
    struct CallScope {
        CallState outer = call_state();
        CallScope() { call_state() = {}; }
        ~CallScope() { call_state() = outer; }
    } scope;
    return guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        for (;;) {
            try {
                return body();
            } catch (const StaleReads &) {
                MORVANE_ASSERT(!call_state().wrote && !call_state().without_memo);
                call_state() = {false, true};
            }
        }
    });
}

} // namespace morvane::registry
