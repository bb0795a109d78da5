// The process's memory of which server file serves each class identifier, so
// that a repeated activation makes no registry look-up while the registry has
// not changed.
#pragma once

#include <windows.h>

#include <string>

namespace morvane::com {

// The class's in-process server path, as inproc_server_path reads it: from
// memory when nothing was written to the registry since it was read, by this
// process or another. Failures are never kept, so they are answered afresh.
HRESULT resolve_inproc_server(REFCLSID clsid, std::string &path);

// Forgets every kept path; for when server libraries were unloaded.
void forget_resolved_servers() noexcept;

} // namespace morvane::com
