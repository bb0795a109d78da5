// TypeInformation's ITypeInfo members but Invoke: attributes, member descriptions,
// names, references and documentation of one type view.
#include "typelib/type_information.h"

#include "typelib/descriptions.h"
#include "typelib/strings.h"
#include "typelib/type_library.h"

#include <oleauto.h>

namespace morvane::typelib {

TypeInformation::TypeInformation(TypeLibrary &library, std::uint32_t index, bool table_view)
    : library_(library), index_(index), table_view_(table_view)
{
}

TypeView TypeInformation::view() const
{
    return TypeView(library_.model(), index_, table_view_);
}

HRESULT STDMETHODCALLTYPE TypeInformation::QueryInterface(REFIID riid, void **ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeInfo) ||
        IsEqualIID(riid, IID_ITypeInfo2)) {
        AddRef();
        *ppvObject = static_cast<ITypeInfo2 *>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TypeInformation::AddRef()
{
    return library_.add_ref();
}

ULONG STDMETHODCALLTYPE TypeInformation::Release()
{
    return library_.release();
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetTypeAttr(TYPEATTR **ppTypeAttr)
{
    if (!ppTypeAttr)
        return E_INVALIDARG;
    *ppTypeAttr = make_type_attr(view());
    return *ppTypeAttr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetTypeComp(ITypeComp **ppTComp)
{
    if (ppTComp)
        *ppTComp = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetFuncDesc(UINT index, FUNCDESC **ppFuncDesc)
{
    if (!ppFuncDesc)
        return E_INVALIDARG;
    *ppFuncDesc = nullptr;
    const TypeView v = view();
    if (index >= v.func_count())
        return TYPE_E_ELEMENTNOTFOUND;
    *ppFuncDesc = make_func_desc(v, index);
    return *ppFuncDesc ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetVarDesc(UINT, VARDESC **ppVarDesc)
{
    // The format describes no variables.
    if (!ppVarDesc)
        return E_INVALIDARG;
    *ppVarDesc = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetNames(MEMBERID memid, BSTR *rgBstrNames, UINT cMaxNames,
                                                    UINT *pcNames)
{
    if (!rgBstrNames || !pcNames)
        return E_INVALIDARG;
    *pcNames = 0;
    const TypeView v = view();
    const long f = v.find_func(memid);
    if (f < 0)
        return TYPE_E_ELEMENTNOTFOUND;
    const FuncModel &func = v.func(static_cast<std::uint32_t>(f));
    const LibraryModel &library = v.library();
    // The member's name, then its parameters' names; a property write's value is unnamed.
    const std::uint32_t total = 1 + v.named_param_count(func);
    UINT written = 0;
    for (std::uint32_t i = 0; i < total && written < cMaxNames; ++i) {
        const std::uint32_t name = i == 0 ? func.name : v.param(func, i - 1).name;
        if (!copy_string(library, name, &rgBstrNames[written])) {
            while (written > 0)
                SysFreeString(rgBstrNames[--written]);
            return E_OUTOFMEMORY;
        }
        ++written;
    }
    *pcNames = written;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetRefTypeOfImplType(UINT index, HREFTYPE *pRefType)
{
    if (!pRefType)
        return E_INVALIDARG;
    const TypeView v = view();
    // A dual interface's dispatch view leads to its table view through index -1.
    if (index == static_cast<UINT>(-1) && v.is_dispatch()) {
        *pRefType = twin_ref | index_;
        return S_OK;
    }
    if (index >= v.impl_count())
        return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = v.impl_ref(index);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetImplTypeFlags(UINT index, INT *pImplTypeFlags)
{
    if (!pImplTypeFlags)
        return E_INVALIDARG;
    const TypeView v = view();
    if (index >= v.impl_count())
        return TYPE_E_ELEMENTNOTFOUND;
    *pImplTypeFlags = v.impl_flags(index);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetIDsOfNames(LPOLESTR *rgszNames, UINT cNames,
                                                         MEMBERID *pMemId)
{
    if (!rgszNames || !pMemId || cNames == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < cNames; ++i)
        pMemId[i] = MEMBERID_NIL;
    const TypeView v = view();
    // The first name is a member, found without regard to letter case.
    const long f = v.find_func(rgszNames[0]);
    if (f < 0)
        return DISP_E_UNKNOWNNAME;
    const FuncModel &func = v.func(static_cast<std::uint32_t>(f));
    pMemId[0] = func.memid;
    // The others are that member's parameters, identified by their position.
    HRESULT result = S_OK;
    const std::uint32_t named = v.named_param_count(func);
    for (UINT i = 1; i < cNames; ++i) {
        bool known = false;
        for (std::uint32_t p = 0; p < named && !known; ++p) {
            const std::u16string *name = v.library().string(v.param(func, p).name);
            if (name && same_name(rgszNames[i], *name)) {
                pMemId[i] = static_cast<MEMBERID>(p);
                known = true;
            }
        }
        if (!known)
            result = DISP_E_UNKNOWNNAME;
    }
    return result;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetDocumentation(MEMBERID memid, BSTR *pBstrName,
                                                            BSTR *pBstrDocString, DWORD *pdwHelpContext,
                                                            BSTR *pBstrHelpFile)
{
    const TypeView v = view();
    if (memid == MEMBERID_NIL)
        return documentation(v.library(), v.type().name, v.type().doc, v.type().help_context,
                             pBstrName, pBstrDocString, pdwHelpContext, pBstrHelpFile);
    const long f = v.find_func(memid);
    if (f < 0)
        return TYPE_E_ELEMENTNOTFOUND;
    const FuncModel &func = v.func(static_cast<std::uint32_t>(f));
    return documentation(v.library(), func.name, func.doc, func.help_context, pBstrName,
                         pBstrDocString, pdwHelpContext, pBstrHelpFile);
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetDllEntry(MEMBERID, INVOKEKIND, BSTR *pBstrDllName,
                                                       BSTR *pBstrName, WORD *pwOrdinal)
{
    // Only module types have entry points, and the format has none.
    if (pBstrDllName)
        *pBstrDllName = nullptr;
    if (pBstrName)
        *pBstrName = nullptr;
    if (pwOrdinal)
        *pwOrdinal = 0;
    return TYPE_E_BADMODULEKIND;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo **ppTInfo)
{
    if (!ppTInfo)
        return E_INVALIDARG;
    return library_.resolve(hRefType, ppTInfo);
}

HRESULT STDMETHODCALLTYPE TypeInformation::AddressOfMember(MEMBERID, INVOKEKIND, PVOID *ppv)
{
    if (ppv)
        *ppv = nullptr;
    return TYPE_E_BADMODULEKIND;
}

HRESULT STDMETHODCALLTYPE TypeInformation::CreateInstance(IUnknown *, REFIID, PVOID *ppvObj)
{
    if (!ppvObj)
        return E_INVALIDARG;
    *ppvObj = nullptr;
    return view().kind() == TKIND_COCLASS ? E_NOTIMPL : TYPE_E_WRONGTYPEKIND;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetMops(MEMBERID, BSTR *pBstrMops)
{
    if (!pBstrMops)
        return E_INVALIDARG;
    *pBstrMops = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetContainingTypeLib(ITypeLib **ppTLib, UINT *pIndex)
{
    if (ppTLib) {
        library_.add_ref();
        *ppTLib = &library_;
    }
    if (pIndex)
        *pIndex = index_;
    return S_OK;
}

void STDMETHODCALLTYPE TypeInformation::ReleaseTypeAttr(TYPEATTR *pTypeAttr)
{
    free_type_attr(pTypeAttr);
}

void STDMETHODCALLTYPE TypeInformation::ReleaseFuncDesc(FUNCDESC *pFuncDesc)
{
    free_func_desc(pFuncDesc);
}

void STDMETHODCALLTYPE TypeInformation::ReleaseVarDesc(VARDESC *)
{
    // GetVarDesc hands out nothing.
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetTypeKind(TYPEKIND *pTypeKind)
{
    if (!pTypeKind)
        return E_INVALIDARG;
    *pTypeKind = view().kind();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetTypeFlags(ULONG *pTypeFlags)
{
    if (!pTypeFlags)
        return E_INVALIDARG;
    *pTypeFlags = view().flags();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetFuncIndexOfMemId(MEMBERID memid, INVOKEKIND invKind,
                                                               UINT *pFuncIndex)
{
    if (!pFuncIndex)
        return E_INVALIDARG;
    const long f = view().find_func(memid, invKind);
    if (f < 0)
        return TYPE_E_ELEMENTNOTFOUND;
    *pFuncIndex = static_cast<UINT>(f);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetVarIndexOfMemId(MEMBERID, UINT *pVarIndex)
{
    if (!pVarIndex)
        return E_INVALIDARG;
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE TypeInformation::GetDocumentation2(MEMBERID memid, LCID, BSTR *pbstrHelpString,
                                                             DWORD *pdwHelpStringContext,
                                                             BSTR *pbstrHelpStringDll)
{
    // The help string is the documentation string; the format has no help string DLL.
    if (pbstrHelpStringDll)
        *pbstrHelpStringDll = nullptr;
    return GetDocumentation(memid, nullptr, pbstrHelpString, pdwHelpStringContext, nullptr);
}

// Custom data is not part of the format.
HRESULT STDMETHODCALLTYPE TypeInformation::GetCustData(REFGUID, VARIANT *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetFuncCustData(UINT, REFGUID, VARIANT *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetParamCustData(UINT, UINT, REFGUID, VARIANT *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetVarCustData(UINT, REFGUID, VARIANT *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetImplTypeCustData(UINT, REFGUID, VARIANT *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetAllCustData(CUSTDATA *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetAllFuncCustData(UINT, CUSTDATA *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetAllParamCustData(UINT, UINT, CUSTDATA *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetAllVarCustData(UINT, CUSTDATA *)
{
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE TypeInformation::GetAllImplTypeCustData(UINT, CUSTDATA *)
{
    return E_NOTIMPL;
}

} // namespace morvane::typelib
