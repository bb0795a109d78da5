// The registry's key and value rows in SQL: finding, walking and creating key paths,
// removing keys and subtrees, and the stamps of last writes.
#include "registry/key_store.h"

#include "registry/key_names.h"

#include <morvane_assert.h>

#include <chrono>

namespace morvane::registry {
namespace {

// Writes run inside the caller's transaction, so that a failing call leaves nothing
// half done.
[[maybe_unused]] bool in_transaction(Database &db)
{
    return sqlite3_get_autocommit(db.connection()) == 0;
}

} // namespace

std::int64_t filetime_now()
{
    // 1601-01-01 to 1970-01-01 in 100 ns steps.
    constexpr std::int64_t unix_epoch = 116444736000000000;
    const auto since_1970 = std::chrono::system_clock::now().time_since_epoch();
    return unix_epoch + std::chrono::duration_cast<std::chrono::nanoseconds>(since_1970).count() / 100;
}

bool KeyStore::exists(KeyId key)
{
    if (db_.remembering()) {
        if (const std::optional<bool> known = db_.memo().key_exists(key)) {
            db_.answered_from_memo();
            return *known;
        }
    }
    const bool there = Statement(db_, "SELECT 1 FROM keys WHERE id = ?1").bind(1, key).step();
    if (db_.remembering())
        db_.memo().remember_key(key, there);
    return there;
}

void KeyStore::require(KeyId key)
{
    if (!exists(key))
        fail(ERROR_KEY_DELETED);
}

std::optional<KeyId> KeyStore::find_subkey(KeyId parent, std::string_view name)
{
    Statement find(db_, "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
    if (!find.bind(1, parent).bind(2, fold_name(name)).step())
        return std::nullopt;
    return find.integer(0);
}

KeyStore::PathEnd KeyStore::walk(KeyId from, std::string_view folded_path)
{
    // A level at a time through the (parent, fold) index. (One recursive
    // statement would need a temporary table, whose page cache costs far
    // more to set up and give back than the few lookups it saves.)
    PathEnd end{from, 0, 0};
    while (!folded_path.empty()) {
        const std::size_t cut = folded_path.find('\\');
        const std::string_view level = folded_path.substr(0, cut);
        std::optional<KeyId> child; // 0: no such subkey
        if (db_.remembering() && (child = db_.memo().child(end.key, level)))
            db_.answered_from_memo();
        if (!child) {
            Statement find(db_, "SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
            child = find.bind(1, end.key).bind(2, level).step() ? find.integer(0) : 0;
            if (db_.remembering())
                db_.memo().remember_child(end.key, level, *child);
        }
        if (*child == 0)
            break;
        end = {*child, end.key, end.depth + 1};
        folded_path = cut == std::string_view::npos ? std::string_view() : folded_path.substr(cut + 1);
    }
    return end;
}

std::optional<KeyId> KeyStore::find_path(KeyId from, const std::vector<std::string_view> &levels,
                                         KeyId *parent)
{
    std::string folded;
    for (std::string_view level : levels) {
        if (!folded.empty())
            folded += '\\';
        append_folded(folded, level);
    }
    const PathEnd end = walk(from, folded);
    if (end.depth != levels.size())
        return std::nullopt;
    if (parent != nullptr && !levels.empty())
        *parent = end.parent;
    return end.key;
}

KeyId KeyStore::create_path(KeyId from, const std::vector<std::string_view> &levels, bool &created,
                            bool allowed)
{
    KeyId key = from;
    for (std::string_view level : levels) {
        if (auto existing = find_subkey(key, level)) {
            key = *existing;
            continue;
        }
        if (!allowed)
            fail(ERROR_ACCESS_DENIED);
        key = create_subkey(key, level);
        created = true;
    }
    return key;
}

KeyId KeyStore::create_subkey(KeyId parent, std::string_view name)
{
    const std::int64_t now = filetime_now();
    Statement insert(db_, "INSERT INTO keys(parent, name, fold, written) VALUES (?1, ?2, ?3, ?4)"
                          " RETURNING id");
    insert.bind(1, parent).bind(2, name).bind(3, fold_name(name)).bind(4, now);
    if (!insert.step())
        fail(ERROR_REGISTRY_IO_FAILED);
    const KeyId key = insert.integer(0);
    insert.step();
    touch(parent);
    return key;
}

bool KeyStore::has_subkeys(KeyId key)
{
    return Statement(db_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1").bind(1, key).step();
}

void KeyStore::remove_key(KeyId key, KeyId parent)
{
    remove_values(key);
    Statement(db_, "DELETE FROM keys WHERE id = ?1").bind(1, key).run();
    touch(parent);
}

// Every key below ?1 with its depth under it. The file is not trusted to hold
// a tree: the walk stops at the deepest nesting a registry can have, so that
// a parent cycle ends it instead of running forever, and UNION keeps each key
// once per depth, so that a damaged index answering a row twice cannot double
// the rows at every level.
#define KEYS_BELOW                                                                      \
    "WITH RECURSIVE below(id, depth) AS ("                                              \
    " SELECT id, 1 FROM keys WHERE parent = ?1"                                         \
    " UNION SELECT keys.id, below.depth + 1 FROM keys JOIN below ON keys.parent = below.id" \
    " WHERE below.depth < ?2)"

void KeyStore::remove_subtree(KeyId key)
{
    // Reaching the depth limit means a cycle or an impossible nesting: the
    // file is damaged, and nothing is removed.
    Statement depth(db_, KEYS_BELOW " SELECT coalesce(max(depth), 0) FROM below");
    depth.bind(1, key).bind(2, max_key_depth);
    if (depth.step() && depth.integer(0) >= max_key_depth)
        db_.fault(ERROR_BADDB);
    Statement(db_, KEYS_BELOW " DELETE FROM vals WHERE key IN (SELECT id FROM below)")
        .bind(1, key)
        .bind(2, max_key_depth)
        .run();
    Statement(db_, KEYS_BELOW " DELETE FROM keys WHERE id IN (SELECT id FROM below)")
        .bind(1, key)
        .bind(2, max_key_depth)
        .run();
    touch(key);
}

#undef KEYS_BELOW

void KeyStore::remove_values(KeyId key)
{
    MORVANE_ASSERT(in_transaction(db_));
    Statement(db_, "DELETE FROM vals WHERE key = ?1").bind(1, key).run();
}

std::optional<KeyId> KeyStore::parent_of(KeyId key)
{
    Statement find(db_, "SELECT parent FROM keys WHERE id = ?1");
    if (!find.bind(1, key).step())
        return std::nullopt;
    return find.integer(0);
}

std::optional<ValueEntry> KeyStore::value(KeyId key, std::string_view name)
{
    // The key and its value in one statement, so that the read is whole
    // without a transaction around it: no row when the key is gone, a row
    // of nulls when only the value is missing.
    const std::string folded = fold_name(name);
    if (db_.remembering()) {
        const std::optional<bool> known = db_.memo().key_exists(key);
        const std::optional<ValueEntry> *value = db_.memo().value(key, folded);
        if (known == false || value != nullptr) {
            db_.answered_from_memo();
            if (known == false)
                fail(ERROR_KEY_DELETED);
            return *value;
        }
    }
    Statement find(db_, "SELECT vals.name, vals.type, vals.data FROM keys"
                        " LEFT JOIN vals ON vals.key = keys.id AND vals.fold = ?2"
                        " WHERE keys.id = ?1");
    const bool there = find.bind(1, key).bind(2, folded).step();
    std::optional<ValueEntry> value;
    if (there && !find.null(1))
        value = ValueEntry{find.text(0), static_cast<DWORD>(find.integer(1)), find.blob(2)};
    if (db_.remembering()) {
        db_.memo().remember_key(key, there);
        if (there)
            db_.memo().remember_value(key, folded, value);
    }
    if (!there)
        fail(ERROR_KEY_DELETED);
    return value;
}

void KeyStore::set_value(KeyId key, std::string_view name, DWORD type, const BYTE *data,
                         DWORD size)
{
    // An existing value keeps its name's case and its place in the order.
    Statement(db_, "INSERT INTO vals(key, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5)"
                   " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type,"
                   " data = excluded.data")
        .bind(1, key)
        .bind(2, name)
        .bind(3, fold_name(name))
        .bind(4, static_cast<std::int64_t>(type))
        .bind_blob(5, data, size)
        .run();
    touch(key);
}

bool KeyStore::remove_value(KeyId key, std::string_view name)
{
    Statement remove(db_, "DELETE FROM vals WHERE key = ?1 AND fold = ?2 RETURNING seq");
    const bool removed = remove.bind(1, key).bind(2, fold_name(name)).step();
    if (removed) {
        remove.step();
        touch(key);
    }
    return removed;
}

std::optional<SubkeyEntry> KeyStore::subkey_at(KeyId key, DWORD index)
{
    Statement find(db_, "SELECT name, written FROM keys WHERE parent = ?1"
                        " ORDER BY fold LIMIT 1 OFFSET ?2");
    if (!find.bind(1, key).bind(2, static_cast<std::int64_t>(index)).step())
        return std::nullopt;
    return SubkeyEntry{find.text(0), find.integer(1)};
}

std::optional<ValueEntry> KeyStore::value_at(KeyId key, DWORD index)
{
    Statement find(db_, "SELECT name, type, data FROM vals WHERE key = ?1"
                        " ORDER BY seq LIMIT 1 OFFSET ?2");
    if (!find.bind(1, key).bind(2, static_cast<std::int64_t>(index)).step())
        return std::nullopt;
    return ValueEntry{find.text(0), static_cast<DWORD>(find.integer(1)), find.blob(2)};
}

std::vector<SubkeyEntry> KeyStore::subkeys(KeyId key)
{
    std::vector<SubkeyEntry> entries;
    Statement list(db_, "SELECT name, written FROM keys WHERE parent = ?1 ORDER BY fold");
    list.bind(1, key);
    while (list.step())
        entries.push_back({list.text(0), list.integer(1)});
    return entries;
}

std::vector<ValueEntry> KeyStore::values(KeyId key)
{
    std::vector<ValueEntry> entries;
    Statement list(db_, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY seq");
    list.bind(1, key);
    while (list.step())
        entries.push_back({list.text(0), static_cast<DWORD>(list.integer(1)), list.blob(2)});
    return entries;
}

KeyInfo KeyStore::info(KeyId key)
{
    KeyInfo info;
    Statement subkeys(db_, "SELECT count(*), coalesce(max(length(name)), 0) FROM keys"
                           " WHERE parent = ?1");
    if (subkeys.bind(1, key).step()) {
        info.subkeys = static_cast<DWORD>(subkeys.integer(0));
        info.max_subkey_name = static_cast<DWORD>(subkeys.integer(1));
    }
    Statement values(db_, "SELECT count(*), coalesce(max(length(name)), 0),"
                          " coalesce(max(length(data)), 0) FROM vals WHERE key = ?1");
    if (values.bind(1, key).step()) {
        info.values = static_cast<DWORD>(values.integer(0));
        info.max_value_name = static_cast<DWORD>(values.integer(1));
        info.max_value_data = static_cast<DWORD>(values.integer(2));
    }
    Statement written(db_, "SELECT written FROM keys WHERE id = ?1");
    if (written.bind(1, key).step())
        info.written = written.integer(0);
    return info;
}

void KeyStore::touch(KeyId key)
{
    MORVANE_ASSERT(in_transaction(db_)); // every write ends here
    Statement(db_, "UPDATE keys SET written = ?2 WHERE id = ?1")
        .bind(1, key)
        .bind(2, filetime_now())
        .run();
}

} // namespace morvane::registry
