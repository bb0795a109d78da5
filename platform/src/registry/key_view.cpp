// Finding a handle's key in the files it spans, and where its writes go.
#include "registry/key_view.h"

#include "registry/key_names.h"

#include <morvane_assert.h>

#include <algorithm>
#include <memory>

namespace morvane::registry {
namespace {

// Where a file's classes start: a row and the folded levels below it.
struct ClassesOrigin {
    KeyId row;
    std::string_view prefix;
    std::size_t levels;
};

ClassesOrigin classes_origin(const Database &db)
{
    if (db.first_layout())
        return {1, "", 0};
    return {db.scope() == Scope::machine ? 3 : 2, "SOFTWARE\\CLASSES", 2};
}

std::size_t level_count(std::string_view path)
{
    return path.empty() ? 0 : static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\')) + 1;
}

std::string joined(std::string_view from, const std::vector<std::string_view> &levels)
{
    std::string path(from);
    for (std::string_view level : levels) {
        if (!path.empty())
            path += '\\';
        path += level;
    }
    return path;
}

// How deep the classes path leads in the file, counted from the classes
// root: below zero when the classes root itself is missing.
struct ClassesEnd {
    KeyId key;
    std::ptrdiff_t depth;
};

ClassesEnd walk_classes(Database &db, KeyStore &store, std::string_view path)
{
    const ClassesOrigin origin = classes_origin(db);
    std::string folded(origin.prefix);
    if (!path.empty()) {
        if (!folded.empty())
            folded += '\\';
        append_folded(folded, path);
    }
    const KeyStore::PathEnd end = store.walk(origin.row, folded);
    return {end.key, static_cast<std::ptrdiff_t>(end.depth) - static_cast<std::ptrdiff_t>(origin.levels)};
}

// The levels of a path that was checked when its handle was opened.
std::vector<std::string_view> levels_of(const char *path)
{
    std::vector<std::string_view> levels;
    const LSTATUS split = split_key_path(path, levels);
    MORVANE_ASSERT(split == ERROR_SUCCESS);
    return levels;
}

std::size_t file_index(Scope scope) { return scope == Scope::machine ? 1 : 0; }

} // namespace

std::optional<KeyId> find_in(Database &db, KeyStore &store, const OpenKey &open)
{
    if (open.classes) {
        // A missing file reads as an empty registry, which holds no classes.
        if (!db.present())
            return std::nullopt;
        const std::size_t file = file_index(db.scope());
        if (open.file_rows[file] != 0 && open.file_generations[file] == db.generation() &&
            store.exists(open.file_rows[file]))
            return open.file_rows[file];
        const ClassesEnd end = walk_classes(db, store, open.path());
        if (end.depth != static_cast<std::ptrdiff_t>(level_count(open.path())))
            return std::nullopt;
        return end.key;
    }
    // A handle opened on a file since left reaches nothing in the file now there.
    if (!open.root && open.generation != db.generation())
        return std::nullopt;
    return store.exists(open.key) ? std::optional<KeyId>(open.key) : std::nullopt;
}

FileList files_of(const OpenKey &open)
{
    if (!open.classes)
        return {{open.scope}, 1};
    if (open.machine_only)
        return {{Scope::machine}, 1};
    return {{Scope::user, Scope::machine}, 2};
}

void require_held(Session &session, const OpenKey &open)
{
    visit_files(session, open, [](KeyStore &, std::optional<KeyId>) {});
}

std::optional<OpenKey> open_below(Session &session, const OpenKey &from,
                                  const std::vector<std::string_view> &levels, REGSAM access)
{
    OpenKey opened;
    opened.access = access;
    if (!from.classes) {
        std::optional<KeyId> found;
        visit_file(session, from, from.scope, [&](KeyStore &store, std::optional<KeyId> key) {
            found = store.find_path(*key, levels);
        });
        if (!found)
            return std::nullopt;
        opened.scope = from.scope;
        opened.key = *found;
        opened.generation = session.db(from.scope).generation();
        return opened;
    }
    opened.classes = true;
    opened.machine_only = from.machine_only;
    opened.path_text = std::make_shared<const std::string>(joined(from.path(), levels));
    const auto from_depth = static_cast<std::ptrdiff_t>(level_count(from.path()));
    const auto full_depth = static_cast<std::ptrdiff_t>(level_count(opened.path()));
    bool from_held = from.root;
    bool found = false;
    for (const Scope scope : files_of(from)) {
        Database &db = session.follow(scope, false);
        KeyStore store(db);
        Transaction transaction(db, Transaction::Kind::read);
        // From the row the starting handle knows, where it still stands.
        ClassesEnd end{0, -1};
        if (const auto start = levels.empty() ? std::nullopt : find_in(db, store, from)) {
            const auto below = store.find_path(*start, levels);
            from_held = true;
            end = {below.value_or(0), below ? full_depth : from_depth};
        } else if (db.present()) {
            end = walk_classes(db, store, opened.path());
        }
        transaction.commit();
        from_held = from_held || end.depth >= from_depth;
        if (end.depth == full_depth) {
            found = true;
            opened.file_rows[file_index(scope)] = end.key;
            opened.file_generations[file_index(scope)] = db.generation();
        }
    }
    if (!from_held)
        fail(ERROR_KEY_DELETED);
    return found ? std::optional<OpenKey>(opened) : std::nullopt;
}

Database &written_file(Session &session, const OpenKey &open, bool make)
{
    if (make && open.classes && !open.root)
        require_held(session, open);
    return session.follow(files_of(open).scopes[0], make);
}

std::optional<KeyId> written_key(Database &db, KeyStore &store, const OpenKey &open, bool make)
{
    std::optional<KeyId> key = find_in(db, store, open);
    if (!key && open.classes && make) {
        bool created = false;
        // Writing converted a file of the first layout before anything is made in it.
        MORVANE_ASSERT(!db.first_layout());
        std::vector<std::string_view> levels = levels_of("Software\\Classes");
        const std::vector<std::string_view> below =
            levels_of(open.path_text ? open.path_text->c_str() : nullptr);
        levels.insert(levels.end(), below.begin(), below.end());
        key = store.create_path(classes_origin(db).row, levels, created);
    }
    if (!key && !open.classes)
        fail(ERROR_KEY_DELETED);
    return key;
}

bool held_elsewhere(Session &session, const OpenKey &open, const std::vector<std::string_view> &levels)
{
    if (!open.classes)
        return false;
    OpenKey below = open;
    below.path_text = std::make_shared<const std::string>(joined(open.path(), levels));
    const FileList files = files_of(open);
    bool held = false;
    for (auto scope = files.begin() + 1; scope != files.end() && !held; ++scope)
        visit_file(session, below, *scope, [&](KeyStore &, std::optional<KeyId> key) { held = key.has_value(); });
    return held;
}

} // namespace morvane::registry
