// Recursive-descent parsing of the definition language into its syntax tree; the first
// error ends it.
#include "parser.h"

namespace idl {

namespace {
// Decimal digits (already checked by the lexer) to a 16-bit number.
bool parse_u16(std::string_view digits, std::uint16_t &out)
{
    unsigned value = 0;
    for (char d : digits) {
        value = value * 10 + static_cast<unsigned>(d - '0');
        if (value > 0xFFFF)
            return false;
    }
    out = static_cast<std::uint16_t>(value);
    return true;
}
} // namespace

const Token &Parser::peek()
{
    if (!lookahead_)
        lookahead_ = lexer_.next();
    return *lookahead_;
}

Token Parser::take()
{
    Token token = peek();
    lookahead_.reset();
    return token;
}

void Parser::fail(const Token &at, const std::string &expected)
{
    throw CompileError(at.where, "expected " + expected + ", found " + describe(at));
}

Token Parser::expect_punct(char punct, const char *context)
{
    if (!peek().is(punct))
        fail(peek(), std::string("'") + punct + "' " + context);
    return take();
}

Token Parser::expect_identifier(const char *what)
{
    if (peek().kind != TokenKind::Identifier)
        fail(peek(), what);
    return take();
}

void Parser::optional_semicolon()
{
    if (peek().is(';'))
        take();
}

ast::Attribute Parser::attribute()
{
    const Token name = expect_identifier("an attribute name");
    ast::Attribute attr;
    attr.name = name.text;
    attr.where = name.where;
    if (!peek().is('('))
        return attr;
    take(); // '(' ; nothing is looked ahead past it, so uuid() may read raw text
    if (attr.name == "uuid") {
        const Token text = lexer_.uuid_text();
        const auto guid = parse_guid(text.text);
        if (!guid)
            throw CompileError(text.where, "malformed identifier '" + text.text +
                                               "' (expected XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX)");
        attr.kind = ast::Attribute::Kind::Uuid;
        attr.uuid = *guid;
    } else {
        bool negative = false;
        if (peek().is('-')) {
            take();
            negative = true;
        }
        const Token arg = take();
        switch (arg.kind) {
        case TokenKind::Integer:
            attr.kind = ast::Attribute::Kind::Integer;
            attr.integer = negative ? -static_cast<std::int64_t>(arg.value)
                                    : static_cast<std::int64_t>(arg.value);
            break;
        case TokenKind::Version: {
            if (negative)
                fail(arg, "a number");
            attr.kind = ast::Attribute::Kind::Version;
            const auto dot = arg.text.find('.');
            if (!parse_u16(std::string_view(arg.text).substr(0, dot), attr.major) ||
                !parse_u16(std::string_view(arg.text).substr(dot + 1), attr.minor))
                throw CompileError(arg.where, "version numbers must fit in 16 bits");
            break;
        }
        case TokenKind::String:
            if (negative)
                fail(arg, "a number");
            attr.kind = ast::Attribute::Kind::String;
            attr.text = arg.text;
            break;
        case TokenKind::Identifier:
            if (negative)
                fail(arg, "a number");
            attr.kind = ast::Attribute::Kind::Identifier;
            attr.text = arg.text;
            break;
        default:
            fail(arg, "an attribute argument");
        }
    }
    expect_punct(')', "after the attribute argument");
    return attr;
}

ast::Attributes Parser::attributes()
{
    ast::Attributes attrs;
    if (!peek().is('['))
        return attrs;
    take();
    attrs.push_back(attribute());
    while (peek().is(',')) {
        take();
        attrs.push_back(attribute());
    }
    expect_punct(']', "to close the attribute list");
    return attrs;
}

ast::TypeSpec Parser::type_spec()
{
    const Token first = expect_identifier("a type");
    ast::TypeSpec type;
    type.name = first.text;
    type.where = first.where;
    if (first.text == "const")
        throw CompileError(first.where, "'const' is not supported");
    if (first.text == "unsigned" || first.text == "signed") {
        const Token second = expect_identifier("'char', 'short', 'long' or 'int'");
        type.name += " " + second.text;
    }
    while (peek().is('*')) {
        take();
        ++type.pointers;
    }
    return type;
}

ast::Param Parser::param()
{
    ast::Param p;
    p.where = peek().where;
    p.attrs = attributes();
    p.type = type_spec();
    if (peek().kind == TokenKind::Identifier)
        p.name = take().text;
    if (peek().is('['))
        throw CompileError(peek().where, "array parameters are not supported");
    return p;
}

ast::Method Parser::method(ast::Attributes attrs)
{
    ast::Method m;
    m.attrs = std::move(attrs);
    m.result = type_spec();
    const Token name = expect_identifier("a method name");
    m.name = name.text;
    m.where = name.where;
    expect_punct('(', "to open the parameter list");
    if (peek().is_word("void")) {
        // "(void)" is an empty list; "void *p" is a parameter.
        Token v = take();
        if (!peek().is(')')) {
            ast::Param p;
            p.where = v.where;
            p.type.name = "void";
            p.type.where = v.where;
            while (peek().is('*')) {
                take();
                ++p.type.pointers;
            }
            if (peek().kind == TokenKind::Identifier)
                p.name = take().text;
            m.params.push_back(std::move(p));
            while (peek().is(',')) {
                take();
                m.params.push_back(param());
            }
        }
    } else if (!peek().is(')')) {
        m.params.push_back(param());
        while (peek().is(',')) {
            take();
            m.params.push_back(param());
        }
    }
    expect_punct(')', "to close the parameter list");
    expect_punct(';', "after the method declaration");
    return m;
}

void Parser::interface_or_reference(ast::Attributes attrs, ast::File &file, bool in_library)
{
    take(); // 'interface'
    const Token name = expect_identifier("an interface name");
    ast::Interface iface;
    iface.attrs = std::move(attrs);
    iface.name = name.text;
    iface.where = name.where;
    if (peek().is(';')) {
        take();
    } else {
        if (peek().is(':')) {
            take();
            const Token base = expect_identifier("a base interface name");
            iface.base = base.text;
            iface.base_where = base.where;
        }
        expect_punct('{', "to open the interface body");
        iface.defined = true;
        while (!peek().is('}')) {
            if (peek().kind == TokenKind::End)
                fail(peek(), "'}' to close the interface body");
            ast::Attributes method_attrs = attributes();
            iface.methods.push_back(method(std::move(method_attrs)));
        }
        take();
        optional_semicolon();
    }
    file.interfaces.push_back(std::move(iface));
    if (in_library)
        file.library->items.push_back({ast::LibraryItem::Kind::Interface, file.interfaces.size() - 1});
}

ast::Coclass Parser::coclass(ast::Attributes attrs)
{
    take(); // 'coclass'
    const Token name = expect_identifier("a coclass name");
    ast::Coclass c;
    c.attrs = std::move(attrs);
    c.name = name.text;
    c.where = name.where;
    expect_punct('{', "to open the coclass body");
    while (!peek().is('}')) {
        ast::CoclassMember member;
        member.attrs = attributes();
        if (!peek().is_word("interface"))
            fail(peek(), "'interface' in the coclass body");
        take();
        const Token iface = expect_identifier("an interface name");
        member.name = iface.text;
        member.where = iface.where;
        expect_punct(';', "after the interface name");
        c.members.push_back(std::move(member));
    }
    take();
    optional_semicolon();
    return c;
}

ast::Import Parser::quoted_file(const char *keyword)
{
    const Token file = take();
    if (file.kind != TokenKind::String)
        fail(file, std::string("a quoted file name after '") + keyword + "'");
    return {file.text, file.where};
}

namespace {
bool is_unsupported_keyword(const Token &token)
{
    static const char *const unsupported_words[] = {
        "typedef", "struct", "union", "enum", "dispinterface", "module", "cpp_quote", "midl_pragma", "const"};
    for (const char *word : unsupported_words)
        if (token.is_word(word))
            return true;
    return false;
}
} // namespace

void Parser::library(ast::Attributes attrs, ast::File &file)
{
    const Token keyword = take();
    if (file.library)
        throw CompileError(keyword.where, "only one library block is allowed");
    const Token name = expect_identifier("a library name");
    file.library.emplace();
    file.library->attrs = std::move(attrs);
    file.library->name = name.text;
    file.library->where = name.where;
    expect_punct('{', "to open the library body");
    for (;;) {
        if (peek().is('}')) {
            take();
            break;
        }
        if (peek().is(';')) {
            take();
            continue;
        }
        if (peek().is_word("importlib")) {
            take();
            expect_punct('(', "after 'importlib'");
            file.library->importlibs.push_back(quoted_file("importlib("));
            expect_punct(')', "after the imported library name");
            expect_punct(';', "after importlib(...)");
            continue;
        }
        ast::Attributes item_attrs = attributes();
        const Token &next = peek();
        if (next.is_word("interface")) {
            interface_or_reference(std::move(item_attrs), file, true);
        } else if (next.is_word("coclass")) {
            file.coclasses.push_back(coclass(std::move(item_attrs)));
            file.library->items.push_back({ast::LibraryItem::Kind::Coclass, file.coclasses.size() - 1});
        } else if (is_unsupported_keyword(next)) {
            throw CompileError(next.where, "'" + next.text + "' declarations are not supported");
        } else {
            fail(next, "'interface', 'coclass', 'importlib' or '}'");
        }
    }
    optional_semicolon();
}

ast::File Parser::parse_file()
{
    ast::File file;
    for (;;) {
        const Token &next = peek();
        if (next.kind == TokenKind::End)
            return file;
        if (next.is(';')) {
            take();
            continue;
        }
        if (next.is_word("import")) {
            take();
            file.imports.push_back(quoted_file("import"));
            while (peek().is(',')) {
                take();
                file.imports.push_back(quoted_file("import"));
            }
            expect_punct(';', "after the imported file names");
            continue;
        }
        if (next.is_word("importlib"))
            throw CompileError(next.where, "importlib is only allowed inside the library block");
        ast::Attributes attrs = attributes();
        const Token &head = peek();
        if (head.is_word("interface"))
            interface_or_reference(std::move(attrs), file, false);
        else if (head.is_word("library"))
            library(std::move(attrs), file);
        else if (head.is_word("coclass"))
            throw CompileError(head.where, "a coclass must be declared inside the library block");
        else if (is_unsupported_keyword(head))
            throw CompileError(head.where, "'" + head.text + "' declarations are not supported");
        else
            fail(head, "'import', 'interface' or 'library'");
    }
}

ast::File parse(std::string_view source)
{
    Parser parser(source);
    return parser.parse_file();
}

} // namespace idl
