#include "registry/write_counter.h"

#include <atomic>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::registry {
namespace {

// One page: the count sits at its start.
constexpr off_t counter_file_size = 4096;

static_assert(std::atomic_ref<std::uint64_t>::is_always_lock_free,
              "the count is shared between processes, so it cannot take a process's lock");

std::atomic_ref<std::uint64_t> shared(std::uint64_t *count)
{
    return std::atomic_ref<std::uint64_t>(*count);
}

} // namespace

bool WriteCounter::attach(const std::string &registry_path, bool writable)
{
    detach();
    struct stat registry {};
    if (stat(registry_path.c_str(), &registry) != 0)
        return false;
    const std::string path = registry_path + "-stamp";
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (writable ? O_RDWR : O_RDONLY);
    int fd = writable ? open(path.c_str(), flags | O_CREAT | O_EXCL, 0600) : -1;
    if (fd >= 0) {
        // Made here: the registry file's permissions and owner, as SQLite
        // gives the files it keeps beside it.
        if (fchmod(fd, registry.st_mode & 0666) != 0 ||
            (geteuid() == 0 && fchown(fd, registry.st_uid, registry.st_gid) != 0)) {
            close(fd);
            unlink(path.c_str());
            return false;
        }
    } else {
        fd = open(path.c_str(), flags);
    }
    if (fd < 0)
        return false;
    struct stat status {};
    bool usable = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    // Any other size is mended by a writer; a reader cannot trust it.
    if (usable && status.st_size != counter_file_size)
        usable = writable && ftruncate(fd, counter_file_size) == 0;
    void *mapped = usable ? mmap(nullptr, counter_file_size,
                                 writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0)
                          : MAP_FAILED;
    close(fd);
    if (mapped == MAP_FAILED)
        return false;
    count_ = static_cast<std::uint64_t *>(mapped);
    writable_ = writable;
    return true;
}

void WriteCounter::detach() noexcept
{
    if (count_ != nullptr)
        munmap(count_, counter_file_size);
    count_ = nullptr;
    writable_ = false;
}

std::optional<std::uint64_t> WriteCounter::settled() const noexcept
{
    if (count_ == nullptr)
        return std::nullopt;
    const std::uint64_t count = shared(count_).load();
    if (count % 2 != 0)
        return std::nullopt;
    return count;
}

void WriteCounter::begin_commit() noexcept
{
    if (count_ == nullptr || !writable_)
        return;
    // Odd from here: left odd by a writer that died, it moves on by two.
    const std::uint64_t count = shared(count_).load();
    shared(count_).store(count % 2 == 0 ? count + 1 : count + 2);
}

void WriteCounter::end_commit() noexcept
{
    if (count_ == nullptr || !writable_)
        return;
    shared(count_).fetch_add(1);
}

} // namespace morvane::registry
