// The paths of the user's and the machine's registry files, and making them.
#include "registry/registry_files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::registry {
namespace {

std::string home_folder()
{
    if (const char *home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    // No HOME (a service, a stripped environment): the account's own entry.
    struct passwd entry {};
    struct passwd *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return {};
}

const char *chosen(const char *variable)
{
    const char *value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

} // namespace

LSTATUS status_from_errno(int error)
{
    return error == EACCES || error == EPERM || error == EROFS ? ERROR_ACCESS_DENIED
                                                               : ERROR_CANTOPEN;
}

std::string registry_file_path(Scope scope)
{
    if (scope == Scope::machine) {
        const char *path = chosen("MORVANE_MACHINE_REGISTRY");
        return path != nullptr ? path : MORVANE_MACHINE_REGISTRY_DEFAULT;
    }
    if (const char *path = chosen("MORVANE_REGISTRY"))
        return path;
    if (const char *data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
        return std::string(data) + "/morvane/registry.db";
    std::string home = home_folder();
    if (home.empty())
        return {};
    return home + "/.local/share/morvane/registry.db";
}

LSTATUS prepare_registry_file(const std::string &path, Scope scope)
{
    if (path.empty())
        return ERROR_CANTOPEN;
    const bool shared = scope == Scope::machine;
    // Each missing folder on the way, outermost first.
    for (std::size_t cut = path.find('/', 1); cut != std::string::npos;
         cut = path.find('/', cut + 1)) {
        const std::string folder = path.substr(0, cut);
        if (folder.empty() || folder.back() == '/')
            continue;
        if (mkdir(folder.c_str(), shared ? 0755 : 0700) == 0)
            chmod(folder.c_str(), shared ? 0755 : 0700); // whatever the process's mask
        else if (errno != EEXIST)
            return status_from_errno(errno);
    }
    const mode_t mode = shared ? 0644 : 0600;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0) {
        fchmod(fd, mode);
        close(fd);
        return ERROR_SUCCESS;
    }
    // Already there (made by an earlier run or by another process just now):
    // the database engine judges its content.
    return errno == EEXIST ? ERROR_SUCCESS : status_from_errno(errno);
}

} // namespace morvane::registry
