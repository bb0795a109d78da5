// Where the registry says a class's in-process server lives.
#pragma once

#include <windows.h>

#include <string>

namespace morvane::com {

// The default value of HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32. Fails with
// REGDB_E_CLASSNOTREG when the key or a non-empty string value is absent, and
// REGDB_E_READREGDB when the registry cannot be read.
HRESULT inproc_server_path(REFCLSID clsid, std::string &path);

} // namespace morvane::com
