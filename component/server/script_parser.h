// One run of a registration script: expansion of its variables, then the
// installing or the removing pass over the expanded text.
//
// Script language: a sequence of root blocks `ROOT { entries }`. An entry is
//   [ForceRemove | NoRemove] name [= type value] [{ entries }]
//   Delete name [= type value]
//   Val name = type value
// with types s (REG_SZ), d (REG_DWORD) and b (REG_BINARY, hexadecimal digits).
// Tokens are separated by white space; 'quoted tokens' may hold anything, with ''
// for an apostrophe. %name% stands for a variable's value and %% for "%".
#ifndef MORVANE_SERVER_SCRIPT_PARSER_H
#define MORVANE_SERVER_SCRIPT_PARSER_H

#include "server/registry_script.h"
#include "server/script_limits.h"

#include <winreg.h>

#include <cstddef>

class ScriptParser {
public:
    explicit ScriptParser(const RegistryScript &script) : script_(script) {}
    ScriptParser(const ScriptParser &) = delete;
    ScriptParser &operator=(const ScriptParser &) = delete;

    // Replaces every %name% of the text by the variable's value and %% by "%".
    // On success *expanded is a task-allocator block that the caller frees (or
    // hands to run_script). Touches nothing in the registry.
    HRESULT expand_variables(LPCSTR text, LPSTR *expanded);

    // Applies (install) or removes the expanded script; frees the text.
    HRESULT run_script(LPSTR text, bool install);

private:
    struct Block;

    HRESULT apply_block(HKEY parent, bool install, bool recovering, unsigned depth);
    HRESULT apply_value_entry(Block &block);
    HRESULT install_key(Block &block);
    HRESULT remove_key(Block &block, bool deleting);
    HRESULT delete_plainly(Block &block);
    HRESULT read_past_unlisted_block(Block &block, bool deleting);
    bool opens_block() const;
    // In a roll-back, whether the current token lies where the failed
    // installation stopped: from there on the text reads as closing braces.
    bool past_rollback_end() const { return rollback_end_ != nullptr && token_start_ >= rollback_end_; }

    HRESULT next_token(LPSTR buffer, std::size_t size);
    HRESULT next_token() { return next_token(token_, sizeof token_); }
    void skip_white_space();
    HRESULT write_value(HKEY key, LPCSTR value_name);
    HRESULT skip_assignment();

    const RegistryScript &script_;
    LPCSTR cursor_ = nullptr;
    // Where the last token read begins.
    LPCSTR token_start_ = nullptr;
    // Set during a roll-back: the start of the token on which the installation
    // failed. The roll-back undoes only what was read before it, so a refused
    // form after that point cannot stop it short.
    LPCSTR rollback_end_ = nullptr;
    // The current token: one buffer for the whole run, shared by every nesting level.
    char token_[script_token_size] = {};
};

#endif
