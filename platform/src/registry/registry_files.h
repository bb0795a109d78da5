// Where the two registry files live, the user's and the machine's, and how a
// file comes into being when the first write needs it.
#pragma once

#include <winreg.h>

#include <string>

namespace morvane::registry {

// The user's file holds HKEY_CURRENT_USER (with the user's classes) and the
// other per-user roots; the machine's holds HKEY_LOCAL_MACHINE (with the
// classes registered for every user).
enum class Scope { user, machine };

// The user's file: MORVANE_REGISTRY when set and not empty, else
// $XDG_DATA_HOME/morvane/registry.db (an absolute XDG_DATA_HOME only), else
// ~/.local/share/morvane/registry.db; empty when no home folder is known.
// The machine's file: MORVANE_MACHINE_REGISTRY when set and not empty, else
// the path fixed when the platform was configured.
std::string registry_file_path(Scope scope);

// Creates the missing folders above the file and the file itself: for the
// user's eyes only (0700, 0600), or readable by everyone for the machine's
// (0755, 0644), so that only its writer may change it even before the
// database engine first touches it. Returns ERROR_SUCCESS or the reason the
// file cannot be made (ERROR_CANTOPEN, ERROR_ACCESS_DENIED).
LSTATUS prepare_registry_file(const std::string &path, Scope scope);

// The registry's error code for a failed system call's errno.
LSTATUS status_from_errno(int error);

} // namespace morvane::registry
