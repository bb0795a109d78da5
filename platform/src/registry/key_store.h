// The registry tree as rows: keys by identifier, their subkeys and values.
// Every operation runs inside the caller's transaction and throws
// RegistryError when the database fails.
#pragma once

#include "registry/database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::registry {

struct SubkeyEntry {
    std::string name;
    std::int64_t written;
};

struct KeyInfo {
    DWORD subkeys = 0;
    DWORD max_subkey_name = 0;
    DWORD values = 0;
    DWORD max_value_name = 0;
    DWORD max_value_data = 0;
    std::int64_t written = 0;
};

// The time now as a FILETIME count (100 ns steps since 1601).
std::int64_t filetime_now();

class KeyStore {
public:
    explicit KeyStore(Database &db) : db_(db) {}

    bool exists(KeyId key);
    // ERROR_KEY_DELETED unless the key is still there.
    void require(KeyId key);

    std::optional<KeyId> find_subkey(KeyId parent, std::string_view name);
    // How far a path leads from a key: the deepest key reached, the key above
    // it and the number of levels walked. The path is folded names joined by
    // backslashes; an empty path reaches the key itself.
    struct PathEnd {
        KeyId key;
        KeyId parent;
        std::size_t depth;
    };
    PathEnd walk(KeyId from, std::string_view folded_path);
    // The key that a path of levels leads to from a key (the key itself for
    // no level), none when a level is missing. *parent receives the key one
    // level above the one found, when there is a level.
    std::optional<KeyId> find_path(KeyId from, const std::vector<std::string_view> &levels,
                                   KeyId *parent = nullptr);
    // Creates what is missing of a path of levels below a key and returns the
    // last key; *created tells whether any level was made. ERROR_ACCESS_DENIED
    // when a level is missing and creating is not allowed.
    KeyId create_path(KeyId from, const std::vector<std::string_view> &levels, bool &created,
                      bool allowed = true);
    KeyId create_subkey(KeyId parent, std::string_view name);
    bool has_subkeys(KeyId key);
    // Removes one key and its values; the caller has checked it has no subkeys.
    void remove_key(KeyId key, KeyId parent);
    // Removes every subkey of the key, at any depth, with their values.
    void remove_subtree(KeyId key);
    void remove_values(KeyId key);
    std::optional<KeyId> parent_of(KeyId key);

    // A value of a key, none when missing; ERROR_KEY_DELETED unless the key
    // is still there. One statement, so it needs no transaction of its own.
    std::optional<ValueEntry> value(KeyId key, std::string_view name);
    void set_value(KeyId key, std::string_view name, DWORD type, const BYTE *data, DWORD size);
    bool remove_value(KeyId key, std::string_view name);

    // The index-th subkey in name order, or the index-th value in the order
    // values were first set; none past the end.
    std::optional<SubkeyEntry> subkey_at(KeyId key, DWORD index);
    std::optional<ValueEntry> value_at(KeyId key, DWORD index);
    KeyInfo info(KeyId key);
    // Every subkey in name order, every value in the order first set.
    std::vector<SubkeyEntry> subkeys(KeyId key);
    std::vector<ValueEntry> values(KeyId key);

    // Records a change of the key's own values or subkeys.
    void touch(KeyId key);

private:
    Database &db_;
};

} // namespace morvane::registry
