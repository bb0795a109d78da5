// The library's entry point. The loader of this platform has no DllMain call, so
// the library's constructor and destructor run it with the process attach and
// detach reasons and the library's own handle (the address of its ELF header).
#include "module.h"

#include <dlfcn.h>

namespace morvane {
namespace {

BOOL entry_point(HINSTANCE instance, DWORD reason)
{
    if (reason == DLL_PROCESS_ATTACH)
        module_attach(instance);
    else if (reason == DLL_PROCESS_DETACH)
        module_detach();
    return TRUE;
}

HINSTANCE own_handle()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&entry_point), &info) == 0)
        return nullptr;
    return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void library_loaded()
{
    entry_point(own_handle(), DLL_PROCESS_ATTACH);
}

__attribute__((destructor)) void library_unloaded()
{
    entry_point(own_handle(), DLL_PROCESS_DETACH);
}

} // namespace
} // namespace morvane
