// The component's exports, with C linkage and their usual names. Nothing else is
// exported from the library (see exports.map).
#include "class_table.h"
#include "registration.h"

#include <boundary.h>

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    return morvane::guarded(morvane::hresult_failures,
                            [&] { return morvane::get_class_object(rclsid, riid, ppv); });
}

STDAPI DllCanUnloadNow(void)
{
    return morvane::guarded(morvane::hresult_failures, [&] { return morvane::can_unload_now(); });
}

STDAPI DllRegisterServer(void)
{
    return morvane::guarded(morvane::hresult_failures, [&] { return morvane::register_module(true); });
}

STDAPI DllUnregisterServer(void)
{
    return morvane::guarded(morvane::hresult_failures, [&] { return morvane::unregister_module(true); });
}
