// Late-bound access to IMorvane through the module's type information, loaded
// once from the registered type library.
#pragma once

#include <windows.h>

namespace morvane {

HRESULT dispatch_type_info_count(UINT *count);
HRESULT dispatch_type_info(UINT index, LCID lcid, ITypeInfo **info);
HRESULT dispatch_ids_of_names(REFIID riid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids);
HRESULT dispatch_invoke(IDispatch *instance, DISPID id, REFIID riid, LCID lcid, WORD flags,
                        DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception,
                        UINT *arg_error);

} // namespace morvane
