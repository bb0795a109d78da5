// Automation strings (BSTR) and documentation results made from a library's strings.
#include "typelib/strings.h"

#include <oleauto.h>

namespace morvane::typelib {

bool copy_string(const LibraryModel &library, std::uint32_t index, BSTR *out)
{
    if (!out)
        return true;
    *out = nullptr;
    const std::u16string *text = library.string(index);
    if (!text)
        return true;
    *out = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    return *out != nullptr;
}

HRESULT documentation(const LibraryModel &library, std::uint32_t name, std::uint32_t doc,
                      DWORD help_context, BSTR *pBstrName, BSTR *pBstrDocString,
                      DWORD *pdwHelpContext, BSTR *pBstrHelpFile)
{
    if (pdwHelpContext)
        *pdwHelpContext = help_context;
    for (BSTR *out : {pBstrName, pBstrDocString, pBstrHelpFile})
        if (out)
            *out = nullptr;
    const bool ok = copy_string(library, name, pBstrName) &&
                    copy_string(library, doc, pBstrDocString) &&
                    copy_string(library, library.help_file, pBstrHelpFile);
    if (ok)
        return S_OK;
    for (BSTR *out : {pBstrName, pBstrDocString, pBstrHelpFile}) {
        if (out) {
            SysFreeString(*out);
            *out = nullptr;
        }
    }
    return E_OUTOFMEMORY;
}

} // namespace morvane::typelib
