// Key and value names: how they compare, how long they may be and how a
// backslash-separated path divides into key levels.
#pragma once

#include <winreg.h>

#include <string>
#include <string_view>
#include <vector>

namespace morvane::registry {

// Longest key name of one level and longest value name, in bytes.
inline constexpr std::size_t max_key_name = 255;
inline constexpr std::size_t max_value_name = 16383;
// Deepest nesting of keys below a root.
inline constexpr int max_key_depth = 512;

// The form in which names are compared and ordered: ASCII letters upper-cased,
// every other byte kept. Upper case, so that "_" sorts after letters as it
// does in the Windows registry.
std::string fold_name(std::string_view name);
void append_folded(std::string &text, std::string_view name);

// Divides a subkey path into its levels. Null or empty gives no level; a single
// trailing backslash is allowed. Returns ERROR_BAD_PATHNAME for a leading
// backslash or an empty level, ERROR_INVALID_PARAMETER for an over-long level.
LSTATUS split_key_path(const char *path, std::vector<std::string_view> &levels);

// The value name as stored: null and "" both name the default value.
// Returns ERROR_INVALID_PARAMETER for an over-long name.
LSTATUS value_name(const char *name, std::string_view &out);

} // namespace morvane::registry
