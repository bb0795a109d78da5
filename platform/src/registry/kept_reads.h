// What this process read from the registry by key path and value name, kept
// while the registry's write counter and this process's own changes stand
// still, so that a repeated read asks neither the database nor its locks.
// Used under the process's registry lock.
#ifndef MORVANE_REGISTRY_KEPT_READS_H
#define MORVANE_REGISTRY_KEPT_READS_H

#include "registry/key_store.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvane::registry {

class KeptReads {
public:
    // Whether reads may be answered from and kept here now: the write counter
    // is settled and no update is open. Drops what was kept under another state.
    bool usable(Database &db);
    // After reading from the database: whether the state stood still
    // meanwhile, so that what was read is whole and may be kept.
    bool unchanged(Database &db) const;

    // The key a path of levels leads to from a key (none: no such key), when kept.
    const std::optional<KeyId> *key(KeyId from, const std::vector<std::string_view> &levels);
    void keep_key(std::optional<KeyId> found);

    // A value of a key (none: no such value), when kept.
    const std::optional<ValueEntry> *value(KeyId key, std::string_view name);
    void keep_value(std::optional<ValueEntry> value);

private:
    struct State {
        std::uint64_t writes = 0;
        std::uint64_t local = 0;
        bool operator==(const State &) const = default;
    };
    std::optional<State> current(Database &db) const;
    void ask(KeyId from, std::string_view name);
    template <typename Map> void keep(Map &map, typename Map::mapped_type entry);

    State state_;
    // The name of the last look-up, for the keep that follows a miss.
    std::string asked_;
    std::unordered_map<std::string, std::optional<KeyId>> keys_;
    std::unordered_map<std::string, std::optional<ValueEntry>> values_;
};

} // namespace morvane::registry

#endif
