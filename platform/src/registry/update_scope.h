// The state of a registry update that spans several calls of this process
// (a whole registration): one database write transaction, opened by
// MorvaneRegistryBeginUpdate and ended by MorvaneRegistryEndUpdate.
#pragma once

#include <winreg.h>

namespace morvane::registry {

struct UpdateScope {
    // Begin calls not yet ended; the transaction is open while above 0.
    int depth = 0;
    // An inner update ended without keeping its changes.
    bool discard = false;
    // The first database failure of a call inside the update.
    LSTATUS failure = ERROR_SUCCESS;

    bool active() const { return depth > 0; }
};

} // namespace morvane::registry
