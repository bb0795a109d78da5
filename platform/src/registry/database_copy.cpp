// Reading a registry file whose writer died inside a transaction, by a
// process that may not write it: the file and its journal are copied into a
// private folder, where the database engine rolls the journal back, and the
// copy serves reads until the journal or the file moves.
#include "registry/database.h"

#include <file_descriptor.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace morvane::registry {
namespace {

// The database engine's file locks: readers hold a read lock on these bytes,
// and a writer takes all of them for writing before it changes the file.
constexpr off_t shared_lock_first = 0x40000000 + 2;
constexpr off_t shared_lock_size = 510;

// A private folder removed with what it holds when it goes.
class PrivateFolder {
public:
    PrivateFolder()
    {
        const char *base = std::getenv("TMPDIR");
        path_ = std::string(base != nullptr && *base == '/' ? base : "/tmp") + "/morvane-registry-XXXXXX";
        if (mkdtemp(path_.data()) == nullptr)
            path_.clear();
    }
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;
    ~PrivateFolder()
    {
        if (path_.empty())
            return;
        unlink(file().c_str());
        unlink(journal().c_str());
        rmdir(path_.c_str());
    }
    bool made() const { return !path_.empty(); }
    std::string file() const { return path_ + "/registry.db"; }
    std::string journal() const { return file() + "-journal"; }

private:
    std::string path_;
};

bool copy_file(const std::string &from, const std::string &to)
{
    FileDescriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    FileDescriptor out(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (in.get() < 0 || out.get() < 0)
        return false;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(in.get(), buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        for (ssize_t put = 0; put < got;) {
            const ssize_t wrote = write(out.get(), buffer + put, static_cast<std::size_t>(got - put));
            if (wrote < 0 && errno != EINTR)
                return false;
            put += wrote > 0 ? wrote : 0;
        }
    }
}

// Holds a reader's lock on the file, waiting up to ten seconds for a writer,
// so that no writer changes the file or its journal while they are copied.
bool lock_for_reading(int fd)
{
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = shared_lock_first;
    lock.l_len = shared_lock_size;
    for (int waited_ms = 0; waited_ms < 10000; waited_ms += 5) {
        if (fcntl(fd, F_SETLK, &lock) == 0)
            return true;
        if (errno != EACCES && errno != EAGAIN && errno != EINTR)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

Database::CopyMarks Database::copy_marks() const
{
    CopyMarks marks;
    struct stat info {};
    if (stat((path_ + "-journal").c_str(), &info) == 0) {
        marks.journal = {info.st_dev, info.st_ino};
        marks.journal_size = info.st_size;
    }
    if (stat(path_.c_str(), &info) == 0)
        marks.file_changed_ns = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
    return marks;
}

LSTATUS Database::open_private_copy()
{
    PrivateFolder folder;
    if (!folder.made())
        return ERROR_ACCESS_DENIED;
    {
        FileDescriptor original(open(path_.c_str(), O_RDONLY | O_CLOEXEC));
        if (original.get() < 0 || !lock_for_reading(original.get()))
            return ERROR_REGISTRY_IO_FAILED;
        copy_marks_ = copy_marks();
        // A journal that went meanwhile was rolled back by its writer: the
        // file is whole again, and the copy of it alone reads the same.
        if (!copy_file(path_, folder.file()) ||
            (!copy_file(path_ + "-journal", folder.journal()) && errno != ENOENT))
            return ERROR_REGISTRY_IO_FAILED;
        // Closing the descriptor drops the lock: this process holds no other
        // on the file, its own connection being closed.
    }
    LSTATUS status = open_connection(folder.file(), SQLITE_OPEN_READWRITE);
    if (status == ERROR_SUCCESS)
        status = check_schema(false);
    if (status != ERROR_SUCCESS) {
        close();
        return status == empty_file || status == hot_journal_unreadable ? ERROR_BADDB : status;
    }
    // The copy's files go with the folder; the connection keeps reading
    // through its open descriptor.
    source_ = Source::copy;
    read_only_ = true;
    return ERROR_SUCCESS;
}

} // namespace morvane::registry
