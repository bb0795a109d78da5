// A component module loaded through the runtime as a client loads it, with its
// four exports; and the same registered in a scratch registry of its own, for
// tests and benchmarks that create its objects through the component system.
#pragma once

#include "scratch_registry.h"

#include <windows.h>

#include <morvane.h>

#include <string>

namespace morvane::test {

class LoadedModule {
public:
    explicit LoadedModule(const std::string &path);
    ~LoadedModule();
    LoadedModule(const LoadedModule &) = delete;
    LoadedModule &operator=(const LoadedModule &) = delete;

    // S_OK, or why the module could not be loaded.
    HRESULT load_result() const { return load_result_; }
    HMODULE handle() const { return module_; }

    // The module's exports; CO_E_ERRORINDLL when one is missing or the module
    // is not loaded.
    HRESULT get_class_object(REFCLSID clsid, REFIID riid, void **object) const;
    HRESULT can_unload_now() const { return call_export("DllCanUnloadNow"); }
    HRESULT register_server() const { return call_export("DllRegisterServer"); }
    HRESULT unregister_server() const { return call_export("DllUnregisterServer"); }

    // A new standalone tracker through the class object, or null.
    IMorvane *create_tracker() const;

private:
    // Calls an export that takes nothing and gives a result code.
    HRESULT call_export(const char *name) const;

    HMODULE module_ = nullptr;
    HRESULT load_result_ = E_UNEXPECTED;
};

class RegisteredModule {
public:
    // Points this process's registry at a scratch registry, loads the module
    // and calls its DllRegisterServer.
    explicit RegisteredModule(const std::string &module_path);
    // Unregisters and unloads the module; the scratch registry goes with it.
    ~RegisteredModule();
    RegisteredModule(const RegisteredModule &) = delete;
    RegisteredModule &operator=(const RegisteredModule &) = delete;

    // What loading and registering gave: S_OK, or the first failure.
    HRESULT registration() const { return registration_; }
    const LoadedModule &module() const { return module_; }
    HRESULT can_unload_now() const { return module_.can_unload_now(); }

private:
    ScratchRegistry registry_;
    LoadedModule module_;
    HRESULT registration_ = E_UNEXPECTED;
};

} // namespace morvane::test
