// A registration script as read once from its text: root blocks of entries (keys,
// values, deletions) with their flags, and where the text was refused, if it was.
// Both passes walk this tree; positions are byte offsets into the expanded text.
#pragma once

#include <winreg.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// "= type text" after a name, read whole.
struct ScriptAssignment {
    std::string type;
    std::string text;
    std::size_t position = 0;  // of the type token
};

struct ScriptEntry;

// "{ entries }".
struct ScriptBlock {
    std::vector<ScriptEntry> entries;
    std::size_t position = 0;  // of the opening token
    // The text is refused inside the block, after its last entry or within it.
    bool truncated = false;
};

struct ScriptEntry {
    enum class Kind {
        key,       // [ForceRemove] [NoRemove] name [= type text] [{ entries }]
        value,     // [ForceRemove] [NoRemove] Val name = type text
        deletion,  // Delete name [= type text]
    };
    Kind kind = Kind::key;
    std::string name;
    // Key and deletion: the name's token; value: its "=". An installation that stopped
    // after this point had reached the entry, so its roll-back removes it.
    std::size_t position = 0;
    // The token after "ForceRemove", whose key installing deletes first: the name,
    // or the keyword ("NoRemove", "Val") that followed it.
    std::optional<std::string> force_removed;
    bool no_remove = false;
    std::optional<ScriptAssignment> assignment;
    std::optional<ScriptBlock> block;  // keys only
    // The text is refused after the entry's name (for a value, its "=") and before its
    // block or the next entry: in its assignment, at the token after it, or at a block
    // where none may stand. A truncated entry has no block.
    bool truncated = false;
};

struct ScriptRoot {
    HKEY key = nullptr;
    ScriptBlock block;
};

struct ScriptTree {
    std::vector<ScriptRoot> roots;
    // Where the text is refused (DISP_E_EXCEPTION): the start of the token that cannot
    // be read or does not fit. Nothing after it is in the tree.
    std::optional<std::size_t> refused_at;
};

} // namespace morvane
