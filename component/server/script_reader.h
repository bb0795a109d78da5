// Reads an expanded registration script into its tree, in one pass over the text.
//
// Script language: a sequence of root blocks `ROOT { entries }`. An entry is
//   [ForceRemove] [NoRemove] name [= type value] [{ entries }]
//   [ForceRemove] [NoRemove] Val name = type value
//   Delete name [= type value]
// with types s (REG_SZ), d (REG_DWORD) and b (REG_BINARY, hexadecimal digits).
// Only the one-character token "{" opens an entry's block; a root's block opens
// with any token beginning with "{", and any token beginning with "}" closes a block.
#pragma once

#include "server/script_tree.h"

#include <wintypes.h>

namespace morvane {

// The tree of the text (zero-terminated). A refused text gives the tree of what came
// before the refusal, with `refused_at` set. Throws std::bad_alloc only.
ScriptTree read_script(LPCSTR text);

} // namespace morvane
