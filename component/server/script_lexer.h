// Splits an expanded registration script into tokens: runs of characters between
// white space, or 'quoted tokens' that may hold anything, with '' for an apostrophe.
#pragma once

#include <wintypes.h>

#include <cstddef>
#include <string>

namespace morvane {

struct ScriptToken {
    std::string text;
    // Byte offset of the token's first character in the script.
    std::size_t position = 0;
};

class ScriptLexer {
public:
    // The text ends at its zero byte and must outlive the lexer.
    explicit ScriptLexer(LPCSTR text) : text_(text), cursor_(text) {}

    // Reads the next token into `token`. False at the end of the text, for a quoted
    // token never closed, and for a token that does not fit a buffer of `size` bytes
    // with its terminator (a quoted one keeps room for one more two-byte character);
    // `token.position` then says where the refused token starts.
    bool next(ScriptToken &token, std::size_t size);
    void skip_white_space();
    bool at_end() const { return *cursor_ == '\0'; }

private:
    std::size_t offset() const { return static_cast<std::size_t>(cursor_ - text_); }

    LPCSTR text_;
    LPCSTR cursor_;
};

} // namespace morvane
