// The two passes over the expanded script.
//
// Installing opens or creates every listed key and writes its values. Removing
// undoes the same script: a listed key that has subkeys or named values has its
// block walked first; a key that is absent puts the pass in recovery, in which
// entries are only read past until a block has been walked.
//
// Both passes read the same structure: a block belongs to a key entry exactly
// when the entry is followed by the one-character token "{". The removing pass
// decides by the text, not by what the registry holds, so a key whose registry
// contents differ from its script entry never makes the tokens of one block be
// read as the entries of another.
#include "server/script_parser.h"

#include "server/script_registry.h"
#include "server/script_tables.h"
#include "server/script_text.h"

#include <winbase.h>

// State of one block of one pass.
struct ScriptParser::Block {
    Block(HKEY parent_key, bool installing, bool recovering_at_start, unsigned nesting)
        : parent(parent_key), install(installing), recovering(recovering_at_start),
          entry_recovering(recovering_at_start), depth(nesting)
    {
    }

    HKEY parent;
    bool install;
    bool recovering;
    bool entry_recovering;  // the block's starting value of `recovering`
    unsigned depth;
    bool keep_keys = false;  // set by "NoRemove" for the rest of the block
    ScopedKey current;
    char remembered[script_key_name_size] = {};
};

HRESULT ScriptParser::run_script(LPSTR text, bool install)
{
    TaskBlock owned(text);
    cursor_ = text;
    HRESULT result = S_OK;
    while (*cursor_ != '\0') {
        if (FAILED(result = next_token()))
            break;
        HKEY root = find_root_key(token_);
        if (root == nullptr) {
            result = DISP_E_EXCEPTION;
            break;
        }
        if (FAILED(result = next_token()))
            break;
        if (token_[0] != '{') {
            result = DISP_E_EXCEPTION;
            break;
        }
        if (install) {
            LPCSTR first_entry = cursor_;
            result = apply_block(root, true, false, 1);
            if (FAILED(result)) {
                // Roll back: the removing pass over the same block up to the
                // token the installation failed on; its result is dropped.
                rollback_end_ = token_start_;
                cursor_ = first_entry;
                apply_block(root, false, false, 1);
                rollback_end_ = nullptr;
                break;
            }
        } else if (FAILED(result = apply_block(root, false, false, 1))) {
            break;
        }
        skip_white_space();
    }
    cursor_ = nullptr;
    return result;
}

bool ScriptParser::opens_block() const
{
    return token_[0] == '{' && token_[1] == '\0';
}

HRESULT ScriptParser::apply_block(HKEY parent, bool install, bool recovering, unsigned depth)
{
    if (depth > script_max_block_depth)
        return DISP_E_EXCEPTION;
    Block block(parent, install, recovering, depth);
    if (const HRESULT hr = next_token(); FAILED(hr))
        return hr;

    while (token_[0] != '}') {
        bool deleting = false;
        if (is_keyword(token_, script_keyword_force_remove) || is_keyword(token_, script_keyword_delete)) {
            deleting = is_keyword(token_, script_keyword_delete);
            if (const HRESULT hr = next_token(); FAILED(hr))
                return hr;
            if (past_rollback_end())
                break;
            if (install) {
                if (contains_backslash(token_))
                    return DISP_E_EXCEPTION;
                if (!is_protected_key_name(token_))
                    delete_key_tree(parent, token_);
                if (deleting) {
                    // The key is deleted and not created again; no block may follow.
                    if (const HRESULT hr = next_token(); FAILED(hr))
                        return hr;
                    if (const HRESULT hr = skip_assignment(); FAILED(hr))
                        return hr;
                    if (opens_block())
                        return DISP_E_EXCEPTION;
                    continue;
                }
            }
        }
        if (is_keyword(token_, script_keyword_no_remove)) {
            block.keep_keys = true;
            if (const HRESULT hr = next_token(); FAILED(hr))
                return hr;
            if (past_rollback_end())
                break;
        }
        if (is_keyword(token_, script_keyword_value)) {
            if (const HRESULT hr = apply_value_entry(block); FAILED(hr))
                return hr;
            continue;
        }
        if (contains_backslash(token_))
            return DISP_E_EXCEPTION;
        if (const HRESULT hr = install ? install_key(block) : remove_key(block, deleting); FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT ScriptParser::apply_value_entry(Block &block)
{
    char value_name[script_value_name_size];
    if (const HRESULT hr = next_token(value_name, sizeof value_name); FAILED(hr))
        return hr;
    if (past_rollback_end())
        return S_OK;
    if (const HRESULT hr = next_token(); FAILED(hr))
        return hr;
    if (past_rollback_end())
        return S_OK;  // the value was never written
    if (token_[0] != '=')
        return DISP_E_EXCEPTION;
    if (block.install) {
        if (const HRESULT hr = write_value(block.parent, value_name); FAILED(hr))
            return hr;
    } else {
        if (!block.recovering)
            RegDeleteValueA(block.parent, value_name);
        if (const HRESULT hr = skip_assignment(); FAILED(hr))
            return hr;
    }
    // A value has no subkeys: a block after it is an error.
    return opens_block() ? DISP_E_EXCEPTION : S_OK;
}

HRESULT ScriptParser::install_key(Block &block)
{
    HKEY key = nullptr;
    bool created = false;
    if (RegOpenKeyExA(block.parent, token_, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        key = nullptr;
        if (RegOpenKeyExA(block.parent, token_, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            key = nullptr;
            if (RegCreateKeyExA(block.parent, token_, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr) != ERROR_SUCCESS)
                return DISP_E_EXCEPTION;
            created = true;
        }
    }
    if (block.current.replace(key) != ERROR_SUCCESS && created)
        return DISP_E_EXCEPTION;

    if (const HRESULT hr = next_token(); FAILED(hr))
        return hr;
    if (token_[0] == '=')
        if (const HRESULT hr = write_value(block.current.get(), nullptr); FAILED(hr))
            return hr;
    if (opens_block()) {
        if (const HRESULT hr = apply_block(block.current.get(), true, false, block.depth + 1); FAILED(hr))
            return hr;
        return next_token();
    }
    return S_OK;
}

HRESULT ScriptParser::remove_key(Block &block, bool deleting)
{
    if (!block.recovering) {
        HKEY key = nullptr;
        // Opened for writing too: the values listed in its block are deleted through it.
        if (RegOpenKeyExA(block.parent, token_, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
            block.recovering = true;  // normally absent; the current key stays as it was
        else
            block.current.replace(key);
    }
    lstrcpynA(block.remembered, token_, sizeof block.remembered);

    const HKEY current = block.current.get();
    if (!block.recovering && !has_subkeys(current) && !has_named_values(current)) {
        if (const HRESULT hr = delete_plainly(block); FAILED(hr))
            return hr;
        if (const HRESULT hr = next_token(); FAILED(hr))
            return hr;
        if (const HRESULT hr = skip_assignment(); FAILED(hr))
            return hr;
        return read_past_unlisted_block(block, deleting);
    }

    if (const HRESULT hr = next_token(); FAILED(hr))
        return hr;
    if (const HRESULT hr = skip_assignment(); FAILED(hr))
        return hr;
    const bool had_block = opens_block();
    if (had_block) {
        if (deleting)
            return DISP_E_EXCEPTION;
        if (const HRESULT hr = apply_block(current, false, block.recovering, block.depth + 1); FAILED(hr))
            return hr;
        if (block.recovering) {
            block.recovering = block.entry_recovering;
            if (const HRESULT hr = next_token(); FAILED(hr))
                return hr;
            return skip_assignment();
        }
    } else if (block.recovering) {
        return S_OK;  // the token read is the next entry
    }

    // Asked again: the block's entries have been undone by now.
    if (has_subkeys(current)) {
        // The forced removal: on a subkey of the key that bears the key's own name.
        if (!is_protected_key_name(block.remembered))
            delete_key_tree(current, block.remembered);
        // Without a block the token read is already the next entry's.
        return had_block ? next_token() : S_OK;
    }
    if (const HRESULT hr = delete_plainly(block); FAILED(hr))
        return hr;
    if (!had_block)
        return S_OK;  // the key held named values that the script gives no block for
    if (const HRESULT hr = next_token(); FAILED(hr))
        return hr;
    return skip_assignment();
}

HRESULT ScriptParser::delete_plainly(Block &block)
{
    if (block.current.close() != ERROR_SUCCESS)
        return DISP_E_EXCEPTION;
    if (!block.keep_keys)
        RegDeleteKeyA(block.parent, block.remembered);
    return S_OK;
}

// A block in the script after a key whose registry entry had nothing under it:
// nothing it lists can exist, so it is only read past.
HRESULT ScriptParser::read_past_unlisted_block(Block &block, bool deleting)
{
    if (!opens_block())
        return S_OK;
    if (deleting)
        return DISP_E_EXCEPTION;
    if (const HRESULT hr = apply_block(nullptr, false, true, block.depth + 1); FAILED(hr))
        return hr;
    if (const HRESULT hr = next_token(); FAILED(hr))
        return hr;
    return skip_assignment();
}
