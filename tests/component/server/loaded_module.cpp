#include "loaded_module.h"

#include <cstring>
#include <stdexcept>
#include <string>

loaded_module::loaded_module(const char *path) : module_(LoadLibraryA(path))
{
    if (!module_)
        throw std::runtime_error(std::string("cannot load ") + path);
}

loaded_module::~loaded_module()
{
    FreeLibrary(module_);
}

template <typename F>
F loaded_module::export_of(const char *name) const
{
    FARPROC found = GetProcAddress(module_, name);
    if (!found)
        throw std::runtime_error(std::string("no export ") + name);
    F function;
    std::memcpy(&function, &found, sizeof function);
    return function;
}

HRESULT loaded_module::get_class_object(REFCLSID clsid, REFIID riid, void **object) const
{
    return export_of<HRESULT (*)(REFCLSID, REFIID, void **)>("DllGetClassObject")(clsid, riid,
                                                                                  object);
}

HRESULT loaded_module::can_unload_now() const
{
    return export_of<HRESULT (*)()>("DllCanUnloadNow")();
}

HRESULT loaded_module::register_server() const
{
    return export_of<HRESULT (*)()>("DllRegisterServer")();
}

HRESULT loaded_module::unregister_server() const
{
    return export_of<HRESULT (*)()>("DllUnregisterServer")();
}

IMorvane *loaded_module::create_tracker() const
{
    IClassFactory *factory = nullptr;
    if (FAILED(get_class_object(CLSID_CoMorvane, IID_IClassFactory,
                                reinterpret_cast<void **>(&factory))))
        return nullptr;
    IMorvane *tracker = nullptr;
    factory->CreateInstance(nullptr, IID_IMorvane, reinterpret_cast<void **>(&tracker));
    factory->Release();
    return tracker;
}
