// Where the registry database lives and how its file comes into being.
#ifndef MORVANE_REGISTRY_DATABASE_FILE_H
#define MORVANE_REGISTRY_DATABASE_FILE_H

#include <winreg.h>

#include <string>

namespace morvane::registry {

// The database file of this process: MORVANE_REGISTRY when set and not empty,
// else $XDG_DATA_HOME/morvane/registry.db (an absolute XDG_DATA_HOME only),
// else ~/.local/share/morvane/registry.db. Empty when no home folder is known.
std::string registry_file_path();

// Creates the missing folders above the file (mode 0700) and the file itself
// (mode 0600) when absent, so that no other user can write the registry even
// before the database engine first touches it. Returns ERROR_SUCCESS or the
// reason the file cannot be made (ERROR_CANTOPEN, ERROR_ACCESS_DENIED).
LSTATUS prepare_registry_file(const std::string &path);

// The URI that opens the file at path for reading without the shared index
// of the write-ahead log, for a reader that can make no file beside it.
std::string unshared_reading_uri(const std::string &path);

} // namespace morvane::registry

#endif
