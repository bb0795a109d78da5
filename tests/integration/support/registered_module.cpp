#include "registered_module.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace morvane::test {
namespace {

using ServerFunction = HRESULT(STDAPICALLTYPE *)(void);

ServerFunction server_function(HMODULE module, const char *name)
{
    // Through the generic function type, which any function pointer converts to and back.
    FARPROC found = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<ServerFunction>(reinterpret_cast<void (*)(void)>(found));
}

std::string make_scratch_folder()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/morvane-registry.XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

} // namespace

RegisteredModule::RegisteredModule(const std::string &module_path) : folder_(make_scratch_folder())
{
    if (folder_.empty())
        return;
    setenv("MORVANE_REGISTRY", (folder_ + "/registry.db").c_str(), 1);
    module_ = LoadLibraryA(module_path.c_str());
    if (!module_) {
        const DWORD error = GetLastError();
        registration_ = error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
        return;
    }
    ServerFunction register_server = server_function(module_, "DllRegisterServer");
    registration_ = register_server ? register_server() : CO_E_ERRORINDLL;
}

RegisteredModule::~RegisteredModule()
{
    if (ServerFunction unregister_server = server_function(module_, "DllUnregisterServer"))
        unregister_server();
    if (module_)
        FreeLibrary(module_);
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

HRESULT RegisteredModule::can_unload_now() const
{
    ServerFunction can_unload = server_function(module_, "DllCanUnloadNow");
    return can_unload ? can_unload() : E_UNEXPECTED;
}

} // namespace morvane::test
