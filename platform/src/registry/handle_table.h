// The key handles of this process: each open handle names where its key lives
// and the access it was opened with. The seven predefined roots are always open.
#pragma once

#include "registry/key_store.h"
#include "registry/registry_files.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace morvane::registry {

// A key of one file, or a key of the classes view: the key at the same path
// below the user's classes and below the machine's, looked up afresh by every
// call, so that a key made or removed in either file since is seen.
struct OpenKey {
    REGSAM access = KEY_ALL_ACCESS;
    bool classes = false;
    // A key of one file: the file, its row and the file's generation when
    // the handle was opened (a predefined root outlives every generation).
    Scope scope = Scope::user;
    KeyId key = 0;
    std::uint64_t generation = 0;
    bool root = false;
    // A key of the classes view: whether only the machine's classes count,
    // and its path below the classes root, as the caller spelt it. The row
    // each file held it in when the handle was opened (0: none) spares a
    // deep key's path walk: a row, while it exists, stays at its path, and
    // a key deleted and made again gets a new row, found by the path.
    bool machine_only = false;
    std::shared_ptr<const std::string> path_text; // shared: handles are copied on every call
    KeyId file_rows[2] = {0, 0};
    std::uint64_t file_generations[2] = {0, 0};

    std::string_view path() const { return path_text ? std::string_view(*path_text) : std::string_view(); }
};

// The predefined root a handle value names (HKEY_CLASSES_ROOT ...
// HKEY_DYN_DATA, sign-extended as winreg.h spells them or given as their
// 32-bit values): its row, 1 to 7; none for any other value.
std::optional<KeyId> predefined_root(HKEY handle);

// The access rights a samDesired mask grants: generic rights mapped to key
// rights, the registry-view bits dropped.
REGSAM granted_access(REGSAM desired);

class HandleTable {
public:
    HKEY add(OpenKey key);
    // The key of an open handle (not of a predefined root).
    const OpenKey *find(HKEY handle) const;
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
