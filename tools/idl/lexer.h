// Splits interface-definition source into tokens, skipping white space and comments.
#pragma once

#include "diagnostic.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace idl {

enum class TokenKind {
    Identifier,
    Integer, // decimal or 0x hexadecimal, value in Token::value
    Version, // digits '.' digits, as in version(1.0)
    String,  // a quoted string, unescaped in Token::text
    Punct,   // one of [ ] ( ) { } ; , : * - =
    End
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    std::uint64_t value = 0;
    Location where;

    bool is(char punct) const { return kind == TokenKind::Punct && text.size() == 1 && text[0] == punct; }
    bool is_word(std::string_view word) const { return kind == TokenKind::Identifier && text == word; }
};

// Describes a token for error messages: "'interface'", "string \"x\"", "end of file".
std::string describe(const Token &token);

class Lexer {
public:
    explicit Lexer(std::string_view source) : source_(source) {}

    Token next();
    // Reads the argument of uuid(...): 36 characters of an unquoted identifier, or a
    // quoted one. Called right after the opening parenthesis.
    Token uuid_text();

private:
    void skip_blanks();
    char peek(std::size_t ahead = 0) const
    {
        return pos_ + ahead < source_.size() ? source_[pos_ + ahead] : '\0';
    }
    void advance();
    Token number(Location start);
    Token quoted(Location start);

    std::string_view source_;
    std::size_t pos_ = 0;
    Location where_;
};

} // namespace idl
