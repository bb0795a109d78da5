// A component module registered in a registry database of its own, for tests and
// benchmarks that create its objects through the component system.
#pragma once

#include <windows.h>

#include <string>

namespace morvane::test {

class RegisteredModule {
public:
    // Points this process's registry at a new database in a new scratch folder
    // (before anything in the process has used the registry), loads the module
    // with the platform's loader and calls its DllRegisterServer.
    explicit RegisteredModule(const std::string &module_path);
    // Unregisters and unloads the module and removes the scratch folder.
    ~RegisteredModule();
    RegisteredModule(const RegisteredModule &) = delete;
    RegisteredModule &operator=(const RegisteredModule &) = delete;

    // What loading and registering gave: S_OK, or the first failure.
    HRESULT registration() const { return registration_; }
    // The module's own DllCanUnloadNow; E_UNEXPECTED when it is not loaded.
    HRESULT can_unload_now() const;

private:
    std::string folder_;
    HMODULE module_ = nullptr;
    HRESULT registration_ = E_UNEXPECTED;
};

} // namespace morvane::test
