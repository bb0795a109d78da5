// Reads the resource directory described in resource_section.md. Every offset and
// size is checked against the section before it is used, so a damaged file can be
// refused but never read out of bounds.
#include "loader/resource_section.h"

#include <winbase.h>

#include <cstring>

namespace morvane::loader {
namespace {

constexpr char magic[8] = {'M', 'V', 'R', 'S', 'R', 'C', '0', '1'};
constexpr size_t header_size = 16;
constexpr size_t entry_size = 24;
constexpr DWORD string_flag = 0x80000000u;

constexpr WORD language_neutral = 0;
constexpr WORD language_us_english = 1033;

DWORD read_u32(const std::vector<std::byte> &bytes, size_t at)
{
    unsigned char b[4];
    std::memcpy(b, bytes.data() + at, 4);
    return DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24;
}

bool decode_id(const std::vector<std::byte> &bytes, DWORD raw, ResourceId &id)
{
    if (raw & string_flag) {
        const size_t at = raw & ~string_flag;
        if (at >= bytes.size())
            return false;
        const void *end = std::memchr(bytes.data() + at, 0, bytes.size() - at);
        if (end == nullptr || end == bytes.data() + at)
            return false;
        id.name.assign(reinterpret_cast<const char *>(bytes.data() + at),
                       static_cast<const std::byte *>(end) - (bytes.data() + at));
        return true;
    }
    if (raw == 0 || raw > 0xFFFF)
        return false;
    id.number = static_cast<WORD>(raw);
    return true;
}

char fold(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equal_ignoring_case(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

}  // namespace

bool ResourceId::matches(const ResourceId &other) const
{
    if (number != 0 || other.number != 0)
        return number == other.number;
    return equal_ignoring_case(name, other.name);
}

bool resource_id_from_argument(LPCSTR argument, ResourceId &id)
{
    id = ResourceId{};
    if (IS_INTRESOURCE(argument)) {
        id.number = LOWORD(argument);
        return id.number != 0;
    }
    if (argument[0] == '#') {
        // "#101" names the number 101, as on Windows.
        DWORD value = 0;
        const char *p = argument + 1;
        if (*p == '\0')
            return false;
        for (; *p != '\0'; ++p) {
            if (*p < '0' || *p > '9')
                return false;
            value = value * 10 + DWORD(*p - '0');
            if (value > 0xFFFF)
                return false;
        }
        id.number = static_cast<WORD>(value);
        return value != 0;
    }
    id.name = argument;
    return !id.name.empty();
}

std::unique_ptr<ResourceSection> ResourceSection::parse(std::vector<std::byte> bytes)
{
    if (bytes.size() < header_size || std::memcmp(bytes.data(), magic, sizeof magic) != 0)
        return nullptr;
    const DWORD count = read_u32(bytes, 8);
    if (count > (bytes.size() - header_size) / entry_size)
        return nullptr;

    std::unique_ptr<ResourceSection> section(new ResourceSection);
    section->entries_.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        const size_t at = header_size + size_t(i) * entry_size;
        ResourceEntry entry;
        if (!decode_id(bytes, read_u32(bytes, at), entry.type) ||
            !decode_id(bytes, read_u32(bytes, at + 4), entry.name))
            return nullptr;
        entry.language = read_u32(bytes, at + 8);
        entry.offset = read_u32(bytes, at + 16);
        entry.size = read_u32(bytes, at + 20);
        if (entry.offset > bytes.size() || entry.size > bytes.size() - entry.offset)
            return nullptr;
        section->entries_.push_back(std::move(entry));
    }
    section->bytes_ = std::move(bytes);
    return section;
}

const ResourceEntry *ResourceSection::find(const ResourceId &type, const ResourceId &name,
                                           DWORD &error) const
{
    bool type_seen = false;
    const ResourceEntry *first = nullptr;
    const ResourceEntry *english = nullptr;
    for (const ResourceEntry &entry : entries_) {
        if (!entry.type.matches(type))
            continue;
        type_seen = true;
        if (!entry.name.matches(name))
            continue;
        if (entry.language == language_neutral)
            return &entry;
        if (entry.language == language_us_english && english == nullptr)
            english = &entry;
        if (first == nullptr)
            first = &entry;
    }
    if (english != nullptr)
        return english;
    if (first != nullptr)
        return first;
    error = type_seen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
    return nullptr;
}

bool ResourceSection::owns(const ResourceEntry *entry) const
{
    // Compared as addresses so that a foreign pointer is never dereferenced.
    const auto address = reinterpret_cast<uintptr_t>(entry);
    const auto begin = reinterpret_cast<uintptr_t>(entries_.data());
    const auto end = begin + entries_.size() * sizeof(ResourceEntry);
    return address >= begin && address < end && (address - begin) % sizeof(ResourceEntry) == 0;
}

}  // namespace morvane::loader
