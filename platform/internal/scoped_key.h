// ScopedKey: the one owner of an opened registry key handle in C++ code; the key is
// closed when the owner goes out of scope or takes another key.
#pragma once

#include <winreg.h>

namespace morvane {

class ScopedKey {
public:
    ScopedKey() = default;
    explicit ScopedKey(HKEY key) : key_(key) {}
    ~ScopedKey() { close(); }
    ScopedKey(const ScopedKey &) = delete;
    ScopedKey &operator=(const ScopedKey &) = delete;

    HKEY get() const { return key_; }
    bool is_open() const { return key_ != nullptr; }
    // Takes `key` in place of the held one and closes that; gives the close's result
    // (ERROR_SUCCESS when nothing was held).
    LSTATUS replace(HKEY key)
    {
        const HKEY previous = key_;
        key_ = key;
        return previous != nullptr ? RegCloseKey(previous) : ERROR_SUCCESS;
    }
    LSTATUS close() { return replace(nullptr); }
    // Closes the held key and gives the place an opening call writes the new one to.
    HKEY *receive()
    {
        close();
        return &key_;
    }

private:
    HKEY key_ = nullptr;
};

} // namespace morvane
