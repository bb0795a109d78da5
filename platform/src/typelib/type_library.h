// The library object behind ITypeLib. It owns the model and one description object
// per type (two for a dual interface); the descriptions share the library's
// reference count, so each keeps the whole library alive and GetTypeInfo hands out
// the same object every time.
#pragma once

#include "typelib/library_model.h"

#include <atomic>
#include <memory>
#include <vector>

namespace morvane::typelib {

class TypeInformation;

class TypeLibrary final : public ITypeLib {
public:
    // S_OK with the library holding one reference, or E_OUTOFMEMORY.
    static HRESULT create(std::unique_ptr<const LibraryModel> model, ITypeLib **out);
    // A library that is never destroyed, over a model that outlives it; null when
    // memory is short.
    static TypeLibrary *create_permanent(const LibraryModel &model);

    const LibraryModel &model() const { return *model_; }
    ULONG add_ref();
    ULONG release();
    TypeInformation &info(std::uint32_t index) { return *main_[index]; }
    // Resolves a handle that one of this library's descriptions handed out; the
    // result carries a reference.
    HRESULT resolve(HREFTYPE ref, ITypeInfo **out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }
    UINT STDMETHODCALLTYPE GetTypeInfoCount() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo **ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND *pTKind) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo **ppTinfo) override;
    HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR **ppTLibAttr) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp **ppTComp) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR *pBstrName, BSTR *pBstrDocString,
                                               DWORD *pdwHelpContext, BSTR *pBstrHelpFile) override;
    HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL *pfName) override;
    HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo **ppTInfo,
                                       MEMBERID *rgMemId, USHORT *pcFound) override;
    void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR *pTLibAttr) override;

    // Runs when the last reference goes (never for a permanent library).
    ~TypeLibrary();

private:
    TypeLibrary(std::unique_ptr<const LibraryModel> owned, const LibraryModel &model, bool permanent);
    void build_infos();

    std::atomic<ULONG> refs_{1};
    bool permanent_;
    std::unique_ptr<const LibraryModel> owned_;
    const LibraryModel *model_;
    std::vector<std::unique_ptr<TypeInformation>> main_;  // as listed in the library
    std::vector<std::unique_ptr<TypeInformation>> twins_; // table views of dual interfaces
};

} // namespace morvane::typelib
