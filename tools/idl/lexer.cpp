// The definition language's tokens, each with its place: identifiers, numbers, versions,
// strings and punctuation.
#include "lexer.h"

#include <cctype>
#include <limits>

namespace idl {

std::string describe(const Token &token)
{
    switch (token.kind) {
    case TokenKind::End:
        return "end of file";
    case TokenKind::String:
        return "string \"" + token.text + "\"";
    default:
        return "'" + token.text + "'";
    }
}

void Lexer::advance()
{
    if (pos_ >= source_.size())
        return;
    if (source_[pos_] == '\n') {
        ++where_.line;
        where_.column = 1;
    } else {
        ++where_.column;
    }
    ++pos_;
}

void Lexer::skip_blanks()
{
    for (;;) {
        const char c = peek();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            advance();
        } else if (c == '/' && peek(1) == '/') {
            while (peek() != '\0' && peek() != '\n')
                advance();
        } else if (c == '/' && peek(1) == '*') {
            const Location start = where_;
            advance();
            advance();
            while (!(peek() == '*' && peek(1) == '/')) {
                if (pos_ >= source_.size())
                    throw CompileError(start, "unterminated comment");
                advance();
            }
            advance();
            advance();
        } else {
            return;
        }
    }
}

namespace {
bool is_identifier_start(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool is_identifier_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
} // namespace

Token Lexer::next()
{
    skip_blanks();
    const Location start = where_;
    const char c = peek();
    if (pos_ >= source_.size())
        return Token{TokenKind::End, "", 0, start};
    if (is_identifier_start(c)) {
        Token token{TokenKind::Identifier, "", 0, start};
        while (is_identifier_char(peek())) {
            token.text += peek();
            advance();
        }
        return token;
    }
    if (std::isdigit(static_cast<unsigned char>(c)))
        return number(start);
    if (c == '"')
        return quoted(start);
    if (c == '#')
        throw CompileError(start, "preprocessor directives are not supported");
    static constexpr std::string_view punctuation = "[](){};,:*-=";
    if (punctuation.find(c) != std::string_view::npos) {
        advance();
        return Token{TokenKind::Punct, std::string(1, c), 0, start};
    }
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
        throw CompileError(start, "unexpected character (byte " +
                                      std::to_string(static_cast<unsigned char>(c)) + ")");
    throw CompileError(start, std::string("unexpected character '") + c + "'");
}

Token Lexer::number(Location start)
{
    Token token{TokenKind::Integer, "", 0, start};
    const bool hex = peek() == '0' && (peek(1) == 'x' || peek(1) == 'X');
    if (hex) {
        token.text = "0x";
        advance();
        advance();
    }
    while (std::isalnum(static_cast<unsigned char>(peek())) || peek() == '.') {
        token.text += peek();
        advance();
    }
    const std::string digits = hex ? token.text.substr(2) : token.text;
    const auto dot = digits.find('.');
    if (!hex && dot != std::string::npos) {
        // A version: one dot between two runs of decimal digits.
        const std::string major = digits.substr(0, dot), minor = digits.substr(dot + 1);
        auto all_digits = [](const std::string &s) {
            if (s.empty())
                return false;
            for (char d : s)
                if (!std::isdigit(static_cast<unsigned char>(d)))
                    return false;
            return true;
        };
        if (!all_digits(major) || !all_digits(minor))
            throw CompileError(start, "malformed number '" + token.text + "'");
        token.kind = TokenKind::Version;
        return token;
    }
    std::string body = digits;
    // C-style suffixes of integer constants.
    while (!body.empty() && (body.back() == 'L' || body.back() == 'l' || body.back() == 'U' ||
                             body.back() == 'u'))
        body.pop_back();
    if (body.empty())
        throw CompileError(start, "malformed number '" + token.text + "'");
    std::uint64_t value = 0;
    const unsigned base = hex ? 16 : 10;
    for (char d : body) {
        unsigned digit;
        if (d >= '0' && d <= '9')
            digit = static_cast<unsigned>(d - '0');
        else if (hex && d >= 'a' && d <= 'f')
            digit = static_cast<unsigned>(d - 'a' + 10);
        else if (hex && d >= 'A' && d <= 'F')
            digit = static_cast<unsigned>(d - 'A' + 10);
        else
            throw CompileError(start, "malformed number '" + token.text + "'");
        if (value > (std::numeric_limits<std::uint32_t>::max() - digit) / base)
            throw CompileError(start, "number '" + token.text + "' does not fit in 32 bits");
        value = value * base + digit;
    }
    token.value = value;
    return token;
}

Token Lexer::quoted(Location start)
{
    Token token{TokenKind::String, "", 0, start};
    advance(); // opening quote
    for (;;) {
        const char c = peek();
        if (pos_ >= source_.size() || c == '\n')
            throw CompileError(start, "unterminated string");
        advance();
        if (c == '"')
            return token;
        if (c == '\\') {
            const char e = peek();
            switch (e) {
            case '\\': token.text += '\\'; break;
            case '"': token.text += '"'; break;
            case 'n': token.text += '\n'; break;
            case 't': token.text += '\t'; break;
            default:
                throw CompileError(where_, std::string("unknown escape sequence '\\") +
                                               (e == '\0' ? std::string() : std::string(1, e)) + "'");
            }
            advance();
            continue;
        }
        token.text += c;
    }
}

Token Lexer::uuid_text()
{
    skip_blanks();
    const Location start = where_;
    if (peek() == '"')
        return quoted(start);
    Token token{TokenKind::String, "", 0, start};
    while (std::isxdigit(static_cast<unsigned char>(peek())) || peek() == '-') {
        token.text += peek();
        advance();
    }
    if (token.text.empty())
        throw CompileError(start, "expected an identifier of the form "
                                  "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX");
    return token;
}

} // namespace idl
