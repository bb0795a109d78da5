// The resource directory of a module file: parsing with full validation, and lookup.
#pragma once

#include <wintypes.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace morvane::loader {

// Name of the ELF section that holds the directory and the data.
inline constexpr const char resource_section_name[] = ".mvrsrc";

// A resource type or name: a number from 1 to 0xFFFF, or a non-empty string.
struct ResourceId {
    WORD number = 0;  // 0 when the identifier is a string
    std::string name;

    bool matches(const ResourceId &other) const;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    DWORD language = 0;
    DWORD offset = 0;
    DWORD size = 0;
};

// The identifier a caller passes as LPCSTR: MAKEINTRESOURCE(n), a string, or "#n".
// Gives false for identifiers that can name nothing (0, an empty string, a bad "#").
bool resource_id_from_argument(LPCSTR argument, ResourceId &id);

class ResourceSection {
public:
    // Validates the whole directory; null when anything in it is malformed.
    static std::unique_ptr<ResourceSection> parse(std::vector<std::byte> bytes);

    // The best entry for the query, or null with the system error code in error:
    // ERROR_RESOURCE_TYPE_NOT_FOUND or ERROR_RESOURCE_NAME_NOT_FOUND.
    const ResourceEntry *find(const ResourceId &type, const ResourceId &name, DWORD &error) const;

    // True when the pointer is one of this section's entries (a handle check).
    bool owns(const ResourceEntry *entry) const;

    const std::byte *data(const ResourceEntry &entry) const { return bytes_.data() + entry.offset; }
    const std::vector<ResourceEntry> &entries() const { return entries_; }

private:
    ResourceSection() = default;

    std::vector<std::byte> bytes_;
    std::vector<ResourceEntry> entries_;
};

}  // namespace morvane::loader
