// The answers a registry file's earlier reads gave, by the rows they asked about.
#include "registry/read_memo.h"

namespace morvane::registry {

void ReadMemo::reset(std::optional<FileStamp> stamp)
{
    stamp_ = stamp;
    children_.clear();
    keys_.clear();
    values_.clear();
}

std::optional<KeyId> ReadMemo::child(KeyId parent, std::string_view folded) const
{
    const auto found = children_.find(std::pair(parent, folded));
    return found == children_.end() ? std::nullopt : std::optional<KeyId>(found->second);
}

std::optional<bool> ReadMemo::key_exists(KeyId key) const
{
    const auto found = keys_.find(key);
    return found == keys_.end() ? std::nullopt : std::optional<bool>(found->second);
}

const std::optional<ValueEntry> *ReadMemo::value(KeyId key, std::string_view folded) const
{
    const auto found = values_.find(std::pair(key, folded));
    return found == values_.end() ? nullptr : &found->second;
}

void ReadMemo::make_room()
{
    if (children_.size() + keys_.size() + values_.size() >= capacity)
        reset(stamp_);
}

void ReadMemo::remember_child(KeyId parent, std::string_view folded, KeyId child)
{
    make_room();
    children_.insert_or_assign(RowName(parent, folded), child);
}

void ReadMemo::remember_key(KeyId key, bool exists)
{
    make_room();
    keys_[key] = exists;
}

void ReadMemo::remember_value(KeyId key, std::string_view folded, const std::optional<ValueEntry> &value)
{
    make_room();
    values_.insert_or_assign(RowName(key, folded), value);
}

} // namespace morvane::registry
