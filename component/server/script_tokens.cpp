// The tokenizer: white space, quoted and plain tokens, and skipped assignments.
#include "server/script_parser.h"
#include "server/script_tables.h"

#include <winbase.h>

#include <cstring>

namespace {

bool is_white_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

void ScriptParser::skip_white_space()
{
    while (is_white_space(*cursor_))
        cursor_ = CharNextA(cursor_);
}

// Every character is copied whole and only when it fits with the terminator, so a
// token longer than its buffer is refused with DISP_E_EXCEPTION, quoted or plain.
HRESULT ScriptParser::next_token(LPSTR buffer, std::size_t size)
{
    skip_white_space();
    token_start_ = cursor_;
    if (past_rollback_end()) {
        // Every block still open is closed here; the cursor stays.
        lstrcpynA(buffer, "}", static_cast<int>(size));
        lstrcpynA(token_, "}", sizeof token_);
        return S_OK;
    }
    if (*cursor_ == '\0')
        return DISP_E_EXCEPTION;

    std::size_t held = 0;
    auto copy_character = [&]() {
        LPCSTR next = CharNextA(cursor_);
        const auto length = static_cast<std::size_t>(next - cursor_);
        if (length > size - 1 - held)
            return false;
        std::memcpy(buffer + held, cursor_, length);
        held += length;
        cursor_ = next;
        return true;
    };

    if (*cursor_ == '\'') {
        cursor_ = CharNextA(cursor_);
        for (;;) {
            if (*cursor_ == '\0')
                break;
            if (*cursor_ == '\'') {
                LPCSTR next = CharNextA(cursor_);
                if (*next != '\'')
                    break;  // the closing apostrophe
                cursor_ = next;  // a doubled apostrophe stands for one: keep the second
            }
            // A quoted token keeps room for one more two-byte character.
            if (held + 2 >= size)
                return DISP_E_EXCEPTION;
            if (!copy_character())
                return DISP_E_EXCEPTION;
        }
        if (*cursor_ == '\0')
            return DISP_E_EXCEPTION;
        buffer[held] = '\0';
        cursor_ = CharNextA(cursor_);
        return S_OK;
    }

    while (*cursor_ != '\0' && !is_white_space(*cursor_))
        if (!copy_character())
            return DISP_E_EXCEPTION;
    buffer[held] = '\0';
    return S_OK;
}

HRESULT ScriptParser::skip_assignment()
{
    if (token_[0] != '=')
        return S_OK;
    if (const HRESULT hr = next_token(); FAILED(hr))  // the type letter, not looked up
        return hr;
    skip_white_space();
    char skipped[script_token_size];
    if (const HRESULT hr = next_token(skipped, sizeof skipped); FAILED(hr))
        return hr;
    return next_token();
}
