#include "registry/folder_watch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::registry {
namespace {

constexpr time_t untrusted_seconds = 2;

bool same(const timespec &a, const timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool before(const timespec &a, const timespec &b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

} // namespace

void FolderWatch::watch(const std::string &path)
{
    forget();
    struct stat file {};
    if (lstat(path.c_str(), &file) != 0 || !S_ISREG(file.st_mode))
        return;
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    folder_ = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

void FolderWatch::forget() noexcept
{
    if (folder_ >= 0)
        close(folder_);
    folder_ = -1;
    trusted_ = false;
}

bool FolderWatch::unchanged() noexcept
{
    struct stat folder {};
    if (folder_ < 0 || fstat(folder_, &folder) != 0) {
        trusted_ = false;
        return false;
    }
    seen_ = {folder.st_mtim, folder.st_ctim};
    return trusted_ && same(seen_.modified, trusted_times_.modified) &&
           same(seen_.changed, trusted_times_.changed);
}

void FolderWatch::confirm() noexcept
{
    timespec settled{};
    clock_gettime(CLOCK_REALTIME, &settled);
    settled.tv_sec -= untrusted_seconds;
    trusted_ = folder_ >= 0 && before(seen_.modified, settled) && before(seen_.changed, settled);
    trusted_times_ = seen_;
}

} // namespace morvane::registry
