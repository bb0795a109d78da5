// A count of the registry's committed writes, shared by every process that
// uses the registry file through a small file beside it ("<file>-stamp") that
// each maps into memory. Readers compare it instead of asking the database,
// which costs file locks on every read.
//
// The count is odd while a commit is under way: a writer makes it odd after
// taking the database's write lock and before committing, and even again
// after. A writer that dies in between leaves it odd, and readers then keep
// nothing until the next writer settles it. Writers are one at a time, as the
// database's write lock admits one.
#ifndef MORVANE_REGISTRY_WRITE_COUNTER_H
#define MORVANE_REGISTRY_WRITE_COUNTER_H

#include <cstdint>
#include <optional>
#include <string>

namespace morvane::registry {

class WriteCounter {
public:
    WriteCounter() = default;
    WriteCounter(const WriteCounter &) = delete;
    WriteCounter &operator=(const WriteCounter &) = delete;
    ~WriteCounter() { detach(); }

    // Maps the counter of the registry file at registry_path, for writing
    // when writable: its file is made, when missing, with the registry file's
    // permissions and owner, so that whoever may write the one may write the
    // other. Returns whether it is mapped as asked; detached otherwise.
    bool attach(const std::string &registry_path, bool writable);
    void detach() noexcept;

    // The count when no commit is under way; none while one is, or when the
    // counter is detached.
    std::optional<std::uint64_t> settled() const noexcept;

    // Around a commit that holds the database's write lock.
    void begin_commit() noexcept;
    void end_commit() noexcept;

private:
    std::uint64_t *count_ = nullptr;
    bool writable_ = false;
};

// Marks a commit under way on a counter for as long as it lives.
class CommitMark {
public:
    explicit CommitMark(WriteCounter &counter) : counter_(counter) { counter_.begin_commit(); }
    CommitMark(const CommitMark &) = delete;
    CommitMark &operator=(const CommitMark &) = delete;
    ~CommitMark() { counter_.end_commit(); }

private:
    WriteCounter &counter_;
};

} // namespace morvane::registry

#endif
