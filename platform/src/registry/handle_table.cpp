// Handle values, predefined roots and access rights.
#include "registry/handle_table.h"

#include <morvane_assert.h>

#include <utility>

namespace morvane::registry {
namespace {

constexpr REGSAM generic_read = 0x80000000u;
constexpr REGSAM generic_write = 0x40000000u;
constexpr REGSAM generic_execute = 0x20000000u;
constexpr REGSAM generic_all = 0x10000000u;
constexpr REGSAM maximum_allowed = 0x02000000u;

} // namespace

std::optional<KeyId> predefined_root(HKEY handle)
{
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    const std::uintptr_t high = value >> 32;
    const std::uintptr_t low = value & 0xFFFFFFFFu;
    if ((high != 0 && high != 0xFFFFFFFFu) || low < 0x80000000u || low > 0x80000006u)
        return std::nullopt;
    const auto row = static_cast<KeyId>(low - 0x80000000u + 1);
    MORVANE_ASSERT(row >= 1 && row <= 7); // the predefined roots are rows 1 to 7 of the key table
    return row;
}

REGSAM granted_access(REGSAM desired)
{
    if (desired & (generic_all | maximum_allowed))
        return KEY_ALL_ACCESS;
    REGSAM access = desired & KEY_ALL_ACCESS;
    if (desired & generic_read)
        access |= KEY_READ;
    if (desired & generic_write)
        access |= KEY_WRITE;
    if (desired & generic_execute)
        access |= KEY_EXECUTE;
    return access;
}

HKEY HandleTable::add(OpenKey key)
{
    const std::uintptr_t value = next_;
    // Counted up from 0x1000, far below the predefined roots' values.
    MORVANE_ASSERT(!predefined_root(reinterpret_cast<HKEY>(value)));
    const bool added = open_.emplace(value, std::move(key)).second;
    MORVANE_ASSERT(added); // a handle value is never given out twice
    next_ += 4;
    return reinterpret_cast<HKEY>(value);
}

const OpenKey *HandleTable::find(HKEY handle) const
{
    auto found = open_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == open_.end() ? nullptr : &found->second;
}

bool HandleTable::remove(HKEY handle)
{
    return open_.erase(reinterpret_cast<std::uintptr_t>(handle)) != 0;
}

} // namespace morvane::registry
