// Text helpers of the registration interpreter: task-allocator blocks and ANSI text.
#pragma once

#include <objbase.h>

namespace morvane {

// A block from the task allocator, freed at the end of the scope.
class TaskBlock {
public:
    explicit TaskBlock(void *block = nullptr) : block_(block) {}
    ~TaskBlock() { CoTaskMemFree(block_); }
    TaskBlock(const TaskBlock &) = delete;
    TaskBlock &operator=(const TaskBlock &) = delete;

    void *get() const { return block_; }
    LPCSTR text() const { return static_cast<LPCSTR>(block_); }
    void *release()
    {
        void *block = block_;
        block_ = nullptr;
        return block;
    }

private:
    void *block_;
};

// The ANSI (CP_ACP) form of a UTF-16 string in a task-allocator block, or null
// when the block cannot be had or the text cannot be converted.
LPSTR ansi_copy(LPCOLESTR text);

// A copy of a UTF-16 string in a task-allocator block of (length + 1) × 2 bytes, or null.
LPOLESTR wide_copy(LPCOLESTR text);

// The text holds a backslash character (stepping whole characters).
bool contains_backslash(LPCSTR text);

} // namespace morvane
