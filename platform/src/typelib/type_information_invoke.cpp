// Late-bound calls through a type description. Not provided yet: callers get
// E_NOTIMPL and nothing is written.
#include "typelib/type_information.h"

namespace mvtl {

HRESULT STDMETHODCALLTYPE TypeInformation::Invoke(PVOID, MEMBERID, WORD, DISPPARAMS *, VARIANT *,
                                                  EXCEPINFO *, UINT *)
{
    return E_NOTIMPL;
}

} // namespace mvtl
