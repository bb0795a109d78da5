// Loads a component module as a client does and calls its exports; registers it in a
// scratch registry of its own.
#include "registered_module.h"

namespace morvane::test {

namespace {

// Calls the module's export of that name as a Function; CO_E_ERRORINDLL when it has none.
template <typename Function, typename... Arguments>
HRESULT call(HMODULE module, const char *name, const Arguments &...arguments)
{
    const FARPROC found = module ? GetProcAddress(module, name) : nullptr;
    // Through the generic function type, which any function pointer converts to and back.
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(found));
    return found ? function(arguments...) : CO_E_ERRORINDLL;
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

HRESULT LoadedModule::get_class_object(REFCLSID clsid, REFIID riid, void **object) const
{
    using GetClassObject = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
    return call<GetClassObject>(module_, "DllGetClassObject", clsid, riid, object);
}

HRESULT LoadedModule::call_export(const char *name) const
{
    return call<HRESULT(STDAPICALLTYPE *)(void)>(module_, name);
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
