// Answers of earlier reads of one registry file, kept only while the file is
// provably as it was when they were read.
//
// SQLite writes a new change counter into the file's header in every
// transaction that changes the file, with the first page it writes and
// before the change is visible to any reader; its own page cache relies on
// this. So while the path leads to the same file (a file replaced by rename
// is another file) and header bytes 16 to 40 (journal modes, change counter,
// page count, free list) are those read under the file's read lock with the
// answers, no change has become visible since, and the answers hold. The
// check costs one 24-byte read without a lock, where the lock protocol costs
// about eight system calls. A call that used answers and then, taking the
// lock for a question they do not answer, finds the header changed, starts
// again without them (StaleReads).
#pragma once

#include <winreg.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvane::registry {

using KeyId = std::int64_t;

struct ValueEntry {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

// The header bytes the answers were read under.
using FileStamp = std::array<unsigned char, 24>;

// Thrown inside a call whose answers from the memo turned out older than the
// file; the call boundary runs the call again without the memo.
struct StaleReads {};

class ReadMemo {
public:
    const std::optional<FileStamp> &stamp() const { return stamp_; }
    // Forgets every answer; they belong to `stamp` from now on (none: to nothing).
    void reset(std::optional<FileStamp> stamp = std::nullopt);

    // A subkey's row by folded name (0: no such subkey); whether a row is a key;
    // a value by folded name (none: the value is missing), for a key that exists.
    std::optional<KeyId> child(KeyId parent, std::string_view folded) const;
    std::optional<bool> key_exists(KeyId key) const;
    const std::optional<ValueEntry> *value(KeyId key, std::string_view folded) const;

    void remember_child(KeyId parent, std::string_view folded, KeyId child);
    void remember_key(KeyId key, bool exists);
    void remember_value(KeyId key, std::string_view folded, const std::optional<ValueEntry> &value);

private:
    // Enough for every key a component system reads; beyond it the answers
    // start again rather than grow without end.
    static constexpr std::size_t capacity = 4096;
    void make_room();

    // A row and a folded name, looked up without copying the name.
    using RowName = std::pair<KeyId, std::string>;
    struct RowNameOrder {
        using is_transparent = void;
        template <typename A, typename B> bool operator()(const A &a, const B &b) const
        {
            return std::pair<KeyId, std::string_view>(a.first, a.second) <
                   std::pair<KeyId, std::string_view>(b.first, b.second);
        }
    };

    std::optional<FileStamp> stamp_;
    std::map<RowName, KeyId, RowNameOrder> children_;
    std::map<KeyId, bool> keys_;
    std::map<RowName, std::optional<ValueEntry>, RowNameOrder> values_;
};

} // namespace morvane::registry
