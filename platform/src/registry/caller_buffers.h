// Hands names and data back through the caller's buffers under the registry's
// documented size rules.
#pragma once

#include <winreg.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace morvane::registry {

// Data: *size holds the buffer's size in bytes on entry and the data's size on
// return. No buffer asks only for the size; a buffer that is too small gives
// ERROR_MORE_DATA with the size needed. No size pointer copies nothing.
LSTATUS copy_data(const std::vector<BYTE> &data, LPBYTE buffer, LPDWORD size);

// Names: *count holds the buffer's size in characters, terminator included,
// on entry, and the name's length without it on return. A buffer that is too
// small gives ERROR_MORE_DATA and leaves *count as it was.
LSTATUS copy_name(std::string_view name, LPSTR buffer, LPDWORD count);

void set_filetime(PFILETIME time, std::int64_t ticks);

} // namespace morvane::registry
