// The in-process server libraries that activation loaded, one entry per file.
#pragma once

#include <windows.h>

#include <string>

namespace morvane::com {

// Asks the server library at path for the class object of clsid, loading the
// library first unless this process already loaded it. CO_E_DLLNOTFOUND when the
// file cannot be loaded, CO_E_ERRORINDLL when it does not export DllGetClassObject;
// otherwise the library's own answer.
HRESULT server_class_object(const std::string &path, REFCLSID clsid, REFIID riid, void **ppv);

// Unloads each loaded server library whose DllCanUnloadNow answers S_OK and that
// is not being asked for a class object at the moment.
void free_unused_server_libraries();

} // namespace morvane::com
