// A mark of the registry's state that moves whenever its contents may have
// changed, in this process or in another, so that readers can keep what they
// read until it does.
#ifndef MORVANE_REGISTRY_CHANGE_STAMP_H
#define MORVANE_REGISTRY_CHANGE_STAMP_H

#include <winreg.h>

#include <cstdint>

namespace morvane::registry {

struct ChangeStamp {
    std::uint64_t local = 0; // this process's writes and (re)openings of the database
    std::int64_t shared = 0; // commits to the database file, by any process
    // Whether shared is the registry's write counter (else the database's own
    // mark of other connections' commits).
    bool counted = false;

    bool operator==(const ChangeStamp &) const = default;
};

// The current stamp; ERROR_SUCCESS, or why the registry cannot be read.
LSTATUS read_change_stamp(ChangeStamp &stamp) noexcept;

// Records that this process changed, or may have changed, what the registry holds.
void note_local_change() noexcept;
std::uint64_t local_change_count() noexcept;

} // namespace morvane::registry

#endif
