// The removing pass: what a script installed is deleted again, keys after their blocks.
//
// A key that is absent puts its block's walk in recovery: nothing is opened or
// deleted, and entries are only read past, until an entry's block has been walked.
// A key that holds nothing is deleted at once and its block in the script, which
// names nothing that can exist, is read past in recovery.
#include "server/script_passes.h"

#include "server/script_limits.h"
#include "server/script_registry.h"
#include "server/script_tables.h"

#include <winbase.h>

namespace morvane {

namespace {

class Remover {
public:
    Remover(const ScriptTree &tree, std::size_t limit)
        : limit_(limit), meets_refusal_(tree.refused_at && *tree.refused_at < limit)
    {
    }

    HRESULT block(HKEY parent, const ScriptBlock &block, bool recovering);

private:
    HRESULT key(HKEY parent, const ScriptEntry &entry, bool keep_keys, bool &recovering, bool block_recovering);
    // The walk stops with the text's refusal where a truncated node stands before the
    // limit. (After a truncated entry nothing follows but its blocks' ends, which stop it.)
    bool refused_in(bool truncated) const { return meets_refusal_ && truncated; }

    std::size_t limit_;
    bool meets_refusal_;
};

// Closes the key, then deletes it unless "NoRemove" keeps it; a failed close stops the pass.
HRESULT delete_plainly(HKEY parent, LPCSTR name, ScopedKey &key, bool keep_keys)
{
    if (key.close() != ERROR_SUCCESS)
        return DISP_E_EXCEPTION;
    if (!keep_keys)
        RegDeleteKeyA(parent, name);
    return S_OK;
}

HRESULT Remover::block(HKEY parent, const ScriptBlock &block, bool recovering)
{
    const bool block_recovering = recovering;
    // "NoRemove" keeps its own key and every later key of the block.
    bool keep_keys = false;
    for (const ScriptEntry &entry : block.entries) {
        if (entry.position >= limit_)
            return S_OK;
        keep_keys = keep_keys || entry.no_remove;
        if (entry.kind == ScriptEntry::Kind::value) {
            if (!recovering)
                RegDeleteValueA(parent, entry.name.c_str());
        } else if (const HRESULT hr = key(parent, entry, keep_keys, recovering, block_recovering); FAILED(hr)) {
            return hr;
        }
    }
    return refused_in(block.truncated) ? DISP_E_EXCEPTION : S_OK;
}

HRESULT Remover::key(HKEY parent, const ScriptEntry &entry, bool keep_keys, bool &recovering,
                     bool block_recovering)
{
    ScopedKey current;
    if (!recovering) {
        HKEY opened = nullptr;
        // Opened for writing too: the values listed in its block are deleted through it.
        if (RegOpenKeyExA(parent, entry.name.c_str(), 0, KEY_READ | KEY_WRITE, &opened) != ERROR_SUCCESS)
            recovering = true;  // normally absent
        else
            current.replace(opened);
    }
    char remembered[script_key_name_size];
    lstrcpynA(remembered, entry.name.c_str(), sizeof remembered);
    const ScriptBlock *block = entry.block && entry.block->position < limit_ ? &*entry.block : nullptr;

    if (!recovering && !has_subkeys(current.get()) && !has_named_values(current.get())) {
        if (const HRESULT hr = delete_plainly(parent, remembered, current, keep_keys); FAILED(hr))
            return hr;
        return block != nullptr ? this->block(nullptr, *block, true) : S_OK;
    }
    // Refused within the entry: its key, which holds something, is left as it is.
    if (refused_in(entry.truncated))
        return DISP_E_EXCEPTION;
    if (block != nullptr) {
        if (const HRESULT hr = this->block(current.get(), *block, recovering); FAILED(hr))
            return hr;
        if (recovering) {
            // The entry's own key is neither deleted nor looked at.
            recovering = block_recovering;
            return S_OK;
        }
    } else if (recovering) {
        return S_OK;
    }
    // Asked again: the block's entries have been undone by now.
    if (has_subkeys(current.get())) {
        // The forced removal: on a subkey of the key that bears the key's own name,
        // so the key and the subkeys the script does not list stay.
        if (!is_protected_key_name(remembered))
            delete_key_tree(current.get(), remembered);
        return S_OK;
    }
    return delete_plainly(parent, remembered, current, keep_keys);
}

}  // namespace

HRESULT remove_block(const ScriptTree &tree, HKEY root, const ScriptBlock &block, std::size_t limit)
{
    return Remover(tree, limit).block(root, block, false);
}

} // namespace morvane
