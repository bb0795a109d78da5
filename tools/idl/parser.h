// Reads the supported subset of the interface definition language into a syntax tree.
#pragma once

#include "ast.h"
#include "lexer.h"

#include <optional>
#include <string_view>

namespace idl {

class Parser {
public:
    explicit Parser(std::string_view source) : lexer_(source) {}
    ast::File parse_file();

private:
    const Token &peek();
    Token take();
    Token expect_punct(char punct, const char *context);
    Token expect_identifier(const char *what);
    [[noreturn]] void fail(const Token &at, const std::string &expected);

    ast::Attributes attributes();
    ast::Attribute attribute();
    void interface_or_reference(ast::Attributes attrs, ast::File &file, bool in_library);
    ast::Method method(ast::Attributes attrs);
    ast::Param param();
    ast::TypeSpec type_spec();
    ast::Coclass coclass(ast::Attributes attrs);
    void library(ast::Attributes attrs, ast::File &file);
    ast::Import quoted_file(const char *keyword);
    void optional_semicolon();

    Lexer lexer_;
    std::optional<Token> lookahead_;
};

// Parses a whole file; throws CompileError at the first syntax error.
ast::File parse(std::string_view source);

} // namespace idl
