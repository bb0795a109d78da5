// The real Morvane module, loaded through the runtime as a client loads it, with
// its four exports.
#pragma once

#include <windows.h>

#include <morvane.h>

class loaded_module {
public:
    explicit loaded_module(const char *path = MORVANE_MODULE_PATH);
    ~loaded_module();
    loaded_module(const loaded_module &) = delete;
    loaded_module &operator=(const loaded_module &) = delete;

    HRESULT get_class_object(REFCLSID clsid, REFIID riid, void **object) const;
    HRESULT can_unload_now() const;
    HRESULT register_server() const;
    HRESULT unregister_server() const;

    // A new standalone tracker through the class object, or null.
    IMorvane *create_tracker() const;

    HMODULE handle() const { return module_; }

private:
    template <typename F>
    F export_of(const char *name) const;

    HMODULE module_ = nullptr;
};
