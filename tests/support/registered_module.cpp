#include "registered_module.h"

namespace morvane::test {

namespace {

// Through the generic function type, which any function pointer converts to and back.
template <typename Function>
Function as_function(FARPROC found)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(found));
}

} // namespace

LoadedModule::LoadedModule(const std::string &path) : module_(LoadLibraryA(path.c_str()))
{
    const DWORD error = module_ ? ERROR_SUCCESS : GetLastError();
    load_result_ = module_ ? S_OK : error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

LoadedModule::~LoadedModule()
{
    if (module_)
        FreeLibrary(module_);
}

FARPROC LoadedModule::export_of(const char *name) const
{
    return module_ ? GetProcAddress(module_, name) : nullptr;
}

HRESULT LoadedModule::get_class_object(REFCLSID clsid, REFIID riid, void **object) const
{
    using GetClassObject = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
    const FARPROC found = export_of("DllGetClassObject");
    return found ? as_function<GetClassObject>(found)(clsid, riid, object) : CO_E_ERRORINDLL;
}

HRESULT LoadedModule::call_export(const char *name) const
{
    using ServerFunction = HRESULT(STDAPICALLTYPE *)(void);
    const FARPROC found = export_of(name);
    return found ? as_function<ServerFunction>(found)() : CO_E_ERRORINDLL;
}

IMorvane *LoadedModule::create_tracker() const
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

RegisteredModule::RegisteredModule(const std::string &module_path) : module_(module_path)
{
    registration_ = module_.load_result();
    if (SUCCEEDED(registration_))
        registration_ = module_.register_server();
}

RegisteredModule::~RegisteredModule()
{
    module_.unregister_server();
}

} // namespace morvane::test
