// The registry questions and the tree deletion that the removing pass relies on.
#pragma once

#include <winreg.h>

#include <scoped_key.h>

namespace morvane {

// The key has one or more subkeys; a failed query counts as none.
bool has_subkeys(HKEY key);

// The key has a value with a non-empty name. A key whose only value is its
// default value has none; a failed query gives false.
bool has_named_values(HKEY key);

// Deletes the subkey `name` of `parent` with everything under it. Returns 0 or the
// first failing call's system error code (the opening of `name` included).
LSTATUS delete_key_tree(HKEY parent, LPCSTR name);

} // namespace morvane
