// Reads through poll, so that a pipe without a writer yet never blocks beyond a wake-up.
#include "file_bytes.h"

#include <file_descriptor.h>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace morvane::track {

namespace {

// Waits until fd has data or its writer left; false when a wake-up descriptor
// turned readable first. poll passes over the negative ones.
bool wait_readable(int fd, const WakeDescriptors &wakes)
{
    std::array<pollfd, 3> watched{pollfd{fd, POLLIN, 0}, pollfd{wakes[0], POLLIN, 0}, pollfd{wakes[1], POLLIN, 0}};
    for (;;) {
        const int ready = poll(watched.data(), watched.size(), -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if ((watched[1].revents & POLLIN) != 0 || (watched[2].revents & POLLIN) != 0)
            return false;
        return true; // data, a hang-up or an error: the read tells which
    }
}

} // namespace

FileRead read_file(const std::string &file, const WakeDescriptors &wakes, std::vector<unsigned char> &bytes,
                   std::string &error)
{
    // Non-blocking: opening a pipe for reading would otherwise wait for its writer.
    const FileDescriptor in(open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0) {
        error = std::strerror(errno);
        return FileRead::failed;
    }
    bytes.clear();
    std::array<unsigned char, 1 << 16> chunk{};
    for (;;) {
        if (!wait_readable(in.get(), wakes))
            return FileRead::woken;
        const ssize_t count = read(in.get(), chunk.data(), chunk.size());
        if (count > 0) {
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + count);
        } else if (count == 0) {
            return FileRead::done;
        } else if (errno != EAGAIN && errno != EINTR) {
            error = std::strerror(errno);
            return FileRead::failed;
        }
    }
}

} // namespace morvane::track
