// The description object behind ITypeInfo and ITypeInfo2: one view of one type of a
// library. It shares the library's reference count.
#pragma once

#include "typelib/member_call.h"
#include "typelib/type_view.h"

namespace morvane::typelib {

class TypeLibrary;

class TypeInformation final : public ITypeInfo2 {
public:
    TypeInformation(TypeLibrary &library, std::uint32_t index, bool table_view);

    TypeView view() const;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR **ppTypeAttr) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp **ppTComp) override;
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC **ppFuncDesc) override;
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC **ppVarDesc) override;
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR *rgBstrNames, UINT cMaxNames,
                                       UINT *pcNames) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE *pRefType) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT *pImplTypeFlags) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR *rgszNames, UINT cNames, MEMBERID *pMemId) override;
    HRESULT STDMETHODCALLTYPE Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags,
                                     DISPPARAMS *pDispParams, VARIANT *pVarResult,
                                     EXCEPINFO *pExcepInfo, UINT *puArgErr) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR *pBstrName, BSTR *pBstrDocString,
                                               DWORD *pdwHelpContext, BSTR *pBstrHelpFile) override;
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR *pBstrDllName,
                                          BSTR *pBstrName, WORD *pwOrdinal) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo **ppTInfo) override;
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID memid, INVOKEKIND invKind, PVOID *ppv) override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *pUnkOuter, REFIID riid, PVOID *ppvObj) override;
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID memid, BSTR *pBstrMops) override;
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib **ppTLib, UINT *pIndex) override;
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR *pTypeAttr) override;
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC *pFuncDesc) override;
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC *pVarDesc) override;

    HRESULT STDMETHODCALLTYPE GetTypeKind(TYPEKIND *pTypeKind) override;
    HRESULT STDMETHODCALLTYPE GetTypeFlags(ULONG *pTypeFlags) override;
    HRESULT STDMETHODCALLTYPE GetFuncIndexOfMemId(MEMBERID memid, INVOKEKIND invKind,
                                                  UINT *pFuncIndex) override;
    HRESULT STDMETHODCALLTYPE GetVarIndexOfMemId(MEMBERID memid, UINT *pVarIndex) override;
    HRESULT STDMETHODCALLTYPE GetCustData(REFGUID guid, VARIANT *pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetFuncCustData(UINT index, REFGUID guid, VARIANT *pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetParamCustData(UINT indexFunc, UINT indexParam, REFGUID guid,
                                               VARIANT *pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetVarCustData(UINT index, REFGUID guid, VARIANT *pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeCustData(UINT index, REFGUID guid, VARIANT *pVarVal) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation2(MEMBERID memid, LCID lcid, BSTR *pbstrHelpString,
                                                DWORD *pdwHelpStringContext,
                                                BSTR *pbstrHelpStringDll) override;
    HRESULT STDMETHODCALLTYPE GetAllCustData(CUSTDATA *pCustData) override;
    HRESULT STDMETHODCALLTYPE GetAllFuncCustData(UINT index, CUSTDATA *pCustData) override;
    HRESULT STDMETHODCALLTYPE GetAllParamCustData(UINT indexFunc, UINT indexParam,
                                                  CUSTDATA *pCustData) override;
    HRESULT STDMETHODCALLTYPE GetAllVarCustData(UINT index, CUSTDATA *pCustData) override;
    HRESULT STDMETHODCALLTYPE GetAllImplTypeCustData(UINT index, CUSTDATA *pCustData) override;

private:
    TypeLibrary &library_;
    std::uint32_t index_;
    bool table_view_;
    MemberCalls calls_; // the members' calls for Invoke, worked out on its first use
};

} // namespace morvane::typelib
