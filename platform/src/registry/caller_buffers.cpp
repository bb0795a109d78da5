// Copies registry names, data and times into the caller's buffers, reporting the size
// needed (ERROR_MORE_DATA) when a buffer is too small.
#include "registry/caller_buffers.h"

#include <cstring>

namespace morvane::registry {

LSTATUS copy_data(const std::vector<BYTE> &data, LPBYTE buffer, LPDWORD size)
{
    if (size == nullptr)
        return buffer == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    const auto needed = static_cast<DWORD>(data.size());
    if (buffer != nullptr) {
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed != 0)
            std::memcpy(buffer, data.data(), needed);
    }
    *size = needed;
    return ERROR_SUCCESS;
}

LSTATUS copy_name(std::string_view name, LPSTR buffer, LPDWORD count)
{
    if (buffer == nullptr || count == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *count)
        return ERROR_MORE_DATA;
    if (!name.empty())
        std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    *count = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

void set_filetime(PFILETIME time, std::int64_t ticks)
{
    if (time == nullptr)
        return;
    const auto value = static_cast<std::uint64_t>(ticks);
    time->dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    time->dwHighDateTime = static_cast<DWORD>(value >> 32);
}

} // namespace morvane::registry
