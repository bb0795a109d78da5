// The installing and the removing pass over one root block of a script tree.
#pragma once

#include "server/script_tree.h"

#include <objbase.h>

#include <cstddef>
#include <limits>

namespace morvane {

// Opens or creates every key of the block and writes its values, in the order of
// the text. On failure `stopped_at` is the text position from which nothing was
// applied: the roll-back removes what lies before it.
HRESULT install_block(const ScriptTree &tree, HKEY root, const ScriptBlock &block, std::size_t &stopped_at);

// Removes what the block's entries that lie before `limit` name: values, and keys
// unless "NoRemove" keeps them; a key still holding subkeys the script does not
// list stays. A roll-back passes where its installation stopped as the limit; the
// whole removing pass passes no limit and meets the text's refusal where it stands.
HRESULT remove_block(const ScriptTree &tree, HKEY root, const ScriptBlock &block,
                     std::size_t limit = std::numeric_limits<std::size_t>::max());

// Writes an assignment as the value `value_name` (null: the default value) of the
// key. DISP_E_EXCEPTION for an unknown type, E_FAIL for an odd number of digits in
// a "b" value; a value the registry refuses is not reported.
HRESULT write_value(HKEY key, LPCSTR value_name, const ScriptAssignment &assignment);

} // namespace morvane
