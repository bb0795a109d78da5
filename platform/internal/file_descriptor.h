// FileDescriptor: the one owner of an open file descriptor in C++ code; the descriptor is
// closed when the owner goes out of scope.
#pragma once

#include <unistd.h>

namespace morvane {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor() { reset(); }
    int get() const { return fd_; }
    // Closes the descriptor held and takes fd (-1: none).
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace morvane
