// Reading the script's text into its tree: one token of look-ahead, one entry at a time.
#include "server/script_reader.h"

#include "server/script_lexer.h"
#include "server/script_limits.h"
#include "server/script_tables.h"
#include "server/script_text.h"

#include <utility>

namespace morvane {

namespace {

class ScriptReader {
public:
    explicit ScriptReader(LPCSTR text) : lexer_(text) {}
    ScriptTree read();

private:
    // Each step below returns false once the text is refused (tree_.refused_at set).
    bool read_block(ScriptBlock &block, unsigned depth);
    bool read_entry(ScriptBlock &block, unsigned depth);
    bool read_named(ScriptBlock &block, ScriptEntry entry, unsigned depth);
    bool read_rest(ScriptEntry &entry, unsigned depth);
    bool read_assignment(ScriptEntry &entry);

    // Reads the next token into `token`, or into the look-ahead.
    bool next(ScriptToken &token, std::size_t size = script_token_size)
    {
        return lexer_.next(token, size) || refuse(token.position);
    }
    bool advance() { return next(token_); }
    bool refuse(std::size_t position)
    {
        tree_.refused_at = position;
        return false;
    }
    bool is(LPCSTR keyword) const { return is_keyword(token_.text.c_str(), keyword); }
    bool opens_block() const { return token_.text == "{"; }

    ScriptLexer lexer_;
    ScriptToken token_;  // the look-ahead: the token after what has been read
    ScriptTree tree_;
};

ScriptTree ScriptReader::read()
{
    while (!lexer_.at_end()) {
        if (!advance())
            break;
        const HKEY root = find_root_key(token_.text.c_str());
        if (root == nullptr) {
            refuse(token_.position);
            break;
        }
        if (!advance())
            break;
        if (token_.text[0] != '{') {
            refuse(token_.position);
            break;
        }
        ScriptRoot &added = tree_.roots.emplace_back();
        added.key = root;
        if (!read_block(added.block, 1))
            break;
        lexer_.skip_white_space();
    }
    return std::move(tree_);
}

// The look-ahead is the block's opening token; afterwards it is the closing one.
bool ScriptReader::read_block(ScriptBlock &block, unsigned depth)
{
    block.position = token_.position;
    if (!advance()) {
        block.truncated = true;
        return false;
    }
    while (token_.text[0] != '}') {
        if (!read_entry(block, depth)) {
            block.truncated = true;
            return false;
        }
    }
    return true;
}

// Afterwards the look-ahead is the token after the entry.
bool ScriptReader::read_entry(ScriptBlock &block, unsigned depth)
{
    ScriptEntry entry;
    if (is(script_keyword_force_remove) || is(script_keyword_delete)) {
        const bool deletion = is(script_keyword_delete);
        if (!advance())
            return false;
        if (contains_backslash(token_.text.c_str()))
            return refuse(token_.position);
        if (deletion) {
            // The name is a name even when it reads like a keyword.
            entry.kind = ScriptEntry::Kind::deletion;
            return read_named(block, std::move(entry), depth);
        }
        entry.force_removed = token_.text;
    }
    if (is(script_keyword_no_remove)) {
        entry.no_remove = true;
        if (!advance())
            return false;
    }
    if (is(script_keyword_value)) {
        ScriptToken name;
        if (!next(name, script_value_name_size) || !advance())
            return false;
        if (token_.text[0] != '=')
            return refuse(token_.position);
        entry.kind = ScriptEntry::Kind::value;
        entry.name = std::move(name.text);
        entry.position = token_.position;
        // The look-ahead "=" opens the assignment.
        return read_rest(block.entries.emplace_back(std::move(entry)), depth);
    }
    if (contains_backslash(token_.text.c_str()))
        return refuse(token_.position);
    return read_named(block, std::move(entry), depth);
}

// A key or deletion entry whose name is the look-ahead.
bool ScriptReader::read_named(ScriptBlock &block, ScriptEntry entry, unsigned depth)
{
    entry.name = token_.text;
    entry.position = token_.position;
    ScriptEntry &added = block.entries.emplace_back(std::move(entry));
    if (!advance()) {
        added.truncated = true;
        return false;
    }
    return read_rest(added, depth);
}

// The assignment and block of an entry whose name has been read; the look-ahead is
// the token after the name (for a value, its "=").
bool ScriptReader::read_rest(ScriptEntry &entry, unsigned depth)
{
    if (!read_assignment(entry)) {
        entry.truncated = true;
        return false;
    }
    if (!opens_block())
        return true;
    // Values and deletions have no subkeys; nesting is limited so that a hostile
    // script cannot exhaust the stack of the passes.
    if (entry.kind != ScriptEntry::Kind::key || depth + 1 > script_max_block_depth) {
        entry.truncated = true;
        return refuse(token_.position);
    }
    if (!read_block(entry.block.emplace(), depth + 1))
        return false;
    return advance();
}

// "= type text" when the look-ahead begins with "=", then the token after it.
bool ScriptReader::read_assignment(ScriptEntry &entry)
{
    if (token_.text[0] != '=')
        return true;
    ScriptToken type, text;
    if (!next(type) || !next(text))
        return false;
    entry.assignment = ScriptAssignment{std::move(type.text), std::move(text.text), type.position};
    return advance();
}

}  // namespace

ScriptTree read_script(LPCSTR text)
{
    return ScriptReader(text).read();
}

} // namespace morvane
