#include "registry/kept_reads.h"

#include "registry/change_stamp.h"
#include "registry/key_names.h"

namespace morvane::registry {
namespace {

// Bounds what a process that reads many different keys holds: so many
// entries, and values no larger than paths and names usually are.
constexpr std::size_t most_kept = 4096;
constexpr std::size_t largest_kept_value = 2048;

} // namespace

std::optional<KeptReads::State> KeptReads::current(Database &db) const
{
    if (db.scope().active())
        return std::nullopt;
    const auto writes = db.counter().settled();
    if (!writes)
        return std::nullopt;
    return State{*writes, local_change_count()};
}

bool KeptReads::usable(Database &db)
{
    const auto now = current(db);
    if (!now)
        return false;
    if (!(*now == state_)) {
        keys_.clear();
        values_.clear();
        state_ = *now;
    }
    return true;
}

bool KeptReads::unchanged(Database &db) const
{
    const auto now = current(db);
    return now && *now == state_;
}

void KeptReads::ask(KeyId from, std::string_view name)
{
    // The starting key's row and the folded names, so that spellings that
    // name the same key share an entry.
    asked_.assign(reinterpret_cast<const char *>(&from), sizeof from);
    append_folded(asked_, name);
}

const std::optional<KeyId> *KeptReads::key(KeyId from, const std::vector<std::string_view> &levels)
{
    ask(from, {});
    for (std::string_view level : levels) {
        append_folded(asked_, level);
        asked_ += '\\';
    }
    auto found = keys_.find(asked_);
    return found == keys_.end() ? nullptr : &found->second;
}

const std::optional<ValueEntry> *KeptReads::value(KeyId key, std::string_view name)
{
    ask(key, name);
    auto found = values_.find(asked_);
    return found == values_.end() ? nullptr : &found->second;
}

template <typename Map> void KeptReads::keep(Map &map, typename Map::mapped_type entry)
{
    if (map.size() >= most_kept)
        map.clear();
    map.insert_or_assign(std::move(asked_), std::move(entry));
}

void KeptReads::keep_key(std::optional<KeyId> found) { keep(keys_, found); }

void KeptReads::keep_value(std::optional<ValueEntry> value)
{
    if (!value || value->data.size() <= largest_kept_value)
        keep(values_, std::move(value));
}

} // namespace morvane::registry
