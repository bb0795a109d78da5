// The key handles of this process: each open handle names a key row and the
// access it was opened with. The seven predefined roots are always open.
#ifndef MORVANE_REGISTRY_HANDLE_TABLE_H
#define MORVANE_REGISTRY_HANDLE_TABLE_H

#include "registry/key_store.h"

#include <cstdint>
#include <optional>
#include <unordered_map>

namespace morvane::registry {

struct OpenKey {
    KeyId key;
    REGSAM access;
    // The database generation the handle was opened under (see Database).
    std::uint64_t generation = 0;
};

// The row of a predefined root handle (HKEY_CLASSES_ROOT ... HKEY_DYN_DATA),
// whether sign-extended as winreg.h spells it or given as its 32-bit value.
std::optional<KeyId> predefined_root(HKEY handle);

// The access rights a samDesired mask grants: generic rights mapped to key
// rights, the registry-view bits dropped.
REGSAM granted_access(REGSAM desired);

class HandleTable {
public:
    HKEY add(OpenKey key);
    std::optional<OpenKey> find(HKEY handle) const;
    bool remove(HKEY handle);
    // Forgets every handle; their values are never given out again.
    void clear() { open_.clear(); }

private:
    std::unordered_map<std::uintptr_t, OpenKey> open_;
    // Multiples of 4 from here on, as Windows hands out handles; far from
    // the predefined values.
    std::uintptr_t next_ = 0x1000;
};

} // namespace morvane::registry

#endif
