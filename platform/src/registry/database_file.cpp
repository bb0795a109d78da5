#include "registry/database_file.h"

#include <cerrno>
#include <cstdio>
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

LSTATUS status_from_errno(int error)
{
    return error == EACCES || error == EPERM || error == EROFS ? ERROR_ACCESS_DENIED
                                                               : ERROR_CANTOPEN;
}

} // namespace

std::string registry_file_path()
{
    if (const char *chosen = std::getenv("MORVANE_REGISTRY"); chosen != nullptr && *chosen != '\0')
        return chosen;
    if (const char *data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
        return std::string(data) + "/morvane/registry.db";
    std::string home = home_folder();
    if (home.empty())
        return {};
    return home + "/.local/share/morvane/registry.db";
}

LSTATUS prepare_registry_file(const std::string &path)
{
    if (path.empty())
        return ERROR_CANTOPEN;
    // Each missing folder on the way, outermost first.
    for (std::size_t cut = path.find('/', 1); cut != std::string::npos;
         cut = path.find('/', cut + 1)) {
        const std::string folder = path.substr(0, cut);
        if (folder.empty() || folder.back() == '/')
            continue;
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return status_from_errno(errno);
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        close(fd);
        return ERROR_SUCCESS;
    }
    // Already there (made by an earlier run or by another process just now):
    // the database engine judges its content.
    return errno == EEXIST ? ERROR_SUCCESS : status_from_errno(errno);
}

std::string unshared_reading_uri(const std::string &path)
{
    // Percent-encoded where a URI would read the byte as syntax.
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + "?mode=ro&immutable=1";
}

} // namespace morvane::registry
