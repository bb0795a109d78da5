// The tokenizer of registration scripts: white space, quoted and plain tokens.
#include "server/script_lexer.h"

#include <winbase.h>

namespace morvane {

namespace {

bool is_white_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

void ScriptLexer::skip_white_space()
{
    while (is_white_space(*cursor_))
        cursor_ = CharNextA(cursor_);
}

// Every character is copied whole and only when it fits with the terminator, so a
// token longer than its buffer is refused, quoted or plain.
bool ScriptLexer::next(ScriptToken &token, std::size_t size)
{
    skip_white_space();
    token.text.clear();
    token.position = offset();
    if (at_end())
        return false;

    auto copy_character = [&]() {
        LPCSTR next = CharNextA(cursor_);
        const auto length = static_cast<std::size_t>(next - cursor_);
        if (length > size - 1 - token.text.size())
            return false;
        token.text.append(cursor_, length);
        cursor_ = next;
        return true;
    };

    if (*cursor_ == '\'') {
        cursor_ = CharNextA(cursor_);
        for (;;) {
            if (at_end())
                return false;  // never closed
            if (*cursor_ == '\'') {
                LPCSTR next = CharNextA(cursor_);
                if (*next != '\'')
                    break;  // the closing apostrophe
                cursor_ = next;  // a doubled apostrophe stands for one: keep the second
            }
            // A quoted token keeps room for one more two-byte character.
            if (token.text.size() + 2 >= size || !copy_character())
                return false;
        }
        cursor_ = CharNextA(cursor_);
        return true;
    }

    while (!at_end() && !is_white_space(*cursor_))
        if (!copy_character())
            return false;
    return true;
}

} // namespace morvane
