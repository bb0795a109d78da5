// The registry questions and the tree deletion that the removing pass relies on.
#pragma once

#include <winreg.h>

namespace morvane {

// The key has one or more subkeys; a failed query counts as none.
bool has_subkeys(HKEY key);

// The key has a value with a non-empty name. A key whose only value is its
// default value has none; a failed query gives false.
bool has_named_values(HKEY key);

// Deletes the subkey `name` of `parent` with everything under it. Returns 0 or the
// first failing call's system error code (the opening of `name` included).
LSTATUS delete_key_tree(HKEY parent, LPCSTR name);

// Closes a key handle for the length of a scope.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { close(); }
    ScopedKey(const ScopedKey &) = delete;
    ScopedKey &operator=(const ScopedKey &) = delete;

    HKEY get() const { return key_; }
    bool is_open() const { return key_ != nullptr; }
    // Takes `key` in place of the held one and closes that; gives the close's result
    // (ERROR_SUCCESS when nothing was held).
    LSTATUS replace(HKEY key);
    LSTATUS close() { return replace(nullptr); }

private:
    HKEY key_ = nullptr;
};

} // namespace morvane
