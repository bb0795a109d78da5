#include "typelib/type_library.h"

#include "typelib/descriptions.h"
#include "typelib/standard_library.h"
#include "typelib/strings.h"
#include "typelib/type_information.h"

#include <boundary.h>

#include <new>

namespace morvane::typelib {

TypeLibrary::TypeLibrary(std::unique_ptr<const LibraryModel> owned, const LibraryModel &model,
                         bool permanent)
    : permanent_(permanent), owned_(std::move(owned)), model_(&model)
{
}

TypeLibrary::~TypeLibrary() = default;

void TypeLibrary::build_infos()
{
    const auto count = static_cast<std::uint32_t>(model_->types.size());
    main_.reserve(count);
    twins_.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        main_.push_back(std::make_unique<TypeInformation>(*this, i, false));
        if (model_->types[i].is_dual())
            twins_[i] = std::make_unique<TypeInformation>(*this, i, true);
    }
}

HRESULT TypeLibrary::create(std::unique_ptr<const LibraryModel> model, ITypeLib **out)
{
    *out = nullptr;
    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        const LibraryModel &view = *model;
        std::unique_ptr<TypeLibrary> library(new TypeLibrary(std::move(model), view, false));
        library->build_infos();
        *out = library.release();
        return S_OK;
    });
}

TypeLibrary *TypeLibrary::create_permanent(const LibraryModel &model)
{
    try {
        std::unique_ptr<TypeLibrary> library(new TypeLibrary(nullptr, model, true));
        library->build_infos();
        return library.release();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

ULONG TypeLibrary::add_ref()
{
    return ++refs_;
}

ULONG TypeLibrary::release()
{
    const ULONG left = --refs_;
    if (left == 0 && !permanent_)
        delete this;
    return left;
}

HRESULT TypeLibrary::resolve(HREFTYPE ref, ITypeInfo **out)
{
    *out = nullptr;
    TypeInformation *found = nullptr;
    if (ref & import_ref) {
        const std::uint32_t index = ref & ~import_ref;
        if (index >= model_->imports.size())
            return TYPE_E_ELEMENTNOTFOUND;
        const ImportModel &import = model_->imports[index];
        // Only the standard library can be imported: it is the one the runtime knows.
        if (!IsEqualGUID(import.library, standard_library_id()))
            return TYPE_E_CANTLOADLIBRARY;
        ITypeLib *standard = standard_library();
        if (!standard)
            return E_OUTOFMEMORY;
        return standard->GetTypeInfoOfGuid(import.type, out);
    }
    if (ref & twin_ref) {
        const std::uint32_t index = ref & ~twin_ref;
        if (index < twins_.size())
            found = twins_[index].get();
    } else if (ref < main_.size()) {
        found = main_[ref].get();
    }
    if (!found)
        return TYPE_E_ELEMENTNOTFOUND;
    found->AddRef();
    *out = found;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::QueryInterface(REFIID riid, void **ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeLib)) {
        add_ref();
        *ppvObject = static_cast<ITypeLib *>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

UINT STDMETHODCALLTYPE TypeLibrary::GetTypeInfoCount()
{
    return static_cast<UINT>(main_.size());
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetTypeInfo(UINT index, ITypeInfo **ppTInfo)
{
    if (!ppTInfo)
        return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (index >= main_.size())
        return TYPE_E_ELEMENTNOTFOUND;
    main_[index]->AddRef();
    *ppTInfo = main_[index].get();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetTypeInfoType(UINT index, TYPEKIND *pTKind)
{
    if (!pTKind)
        return E_INVALIDARG;
    if (index >= main_.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = TypeView(*model_, index, false).kind();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo **ppTinfo)
{
    if (!ppTinfo)
        return E_INVALIDARG;
    *ppTinfo = nullptr;
    for (std::size_t i = 0; i < model_->types.size(); ++i) {
        if (IsEqualGUID(model_->types[i].guid, guid)) {
            main_[i]->AddRef();
            *ppTinfo = main_[i].get();
            return S_OK;
        }
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetLibAttr(TLIBATTR **ppTLibAttr)
{
    if (!ppTLibAttr)
        return E_INVALIDARG;
    *ppTLibAttr = make_lib_attr(*model_);
    return *ppTLibAttr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetTypeComp(ITypeComp **ppTComp)
{
    if (ppTComp)
        *ppTComp = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::GetDocumentation(INT index, BSTR *pBstrName, BSTR *pBstrDocString,
                                                        DWORD *pdwHelpContext, BSTR *pBstrHelpFile)
{
    if (index == -1)
        return documentation(*model_, model_->name, model_->doc, model_->help_context, pBstrName,
                             pBstrDocString, pdwHelpContext, pBstrHelpFile);
    if (index < 0 || static_cast<std::size_t>(index) >= model_->types.size())
        return TYPE_E_ELEMENTNOTFOUND;
    const TypeModel &type = model_->types[static_cast<std::size_t>(index)];
    return documentation(*model_, type.name, type.doc, type.help_context, pBstrName, pBstrDocString,
                         pdwHelpContext, pBstrHelpFile);
}

namespace {
// Gives the caller's buffer the library's spelling of a name it matched.
void adopt_spelling(LPOLESTR buffer, const std::u16string &name)
{
    for (std::size_t i = 0; i < name.size(); ++i)
        buffer[i] = name[i];
}
} // namespace

HRESULT STDMETHODCALLTYPE TypeLibrary::IsName(LPOLESTR szNameBuf, ULONG, BOOL *pfName)
{
    if (!szNameBuf || !pfName)
        return E_INVALIDARG;
    *pfName = FALSE;
    for (const TypeModel &type : model_->types) {
        const std::u16string &name = model_->strings[type.name];
        if (same_name(szNameBuf, name)) {
            adopt_spelling(szNameBuf, name);
            *pfName = TRUE;
            return S_OK;
        }
    }
    for (const FuncModel &func : model_->funcs) {
        const std::u16string &name = model_->strings[func.name];
        if (same_name(szNameBuf, name)) {
            adopt_spelling(szNameBuf, name);
            *pfName = TRUE;
            return S_OK;
        }
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TypeLibrary::FindName(LPOLESTR szNameBuf, ULONG, ITypeInfo **ppTInfo,
                                                MEMBERID *rgMemId, USHORT *pcFound)
{
    if (!szNameBuf || !ppTInfo || !rgMemId || !pcFound)
        return E_INVALIDARG;
    const USHORT wanted = *pcFound;
    USHORT found = 0;
    // Per type: the type itself when its name matches, else its first matching member.
    for (std::uint32_t t = 0; t < main_.size() && found < wanted; ++t) {
        const TypeView view(*model_, t, false);
        const std::u16string *match = nullptr;
        MEMBERID memid = MEMBERID_NIL;
        if (same_name(szNameBuf, model_->strings[view.type().name])) {
            match = &model_->strings[view.type().name];
        } else if (const long f = view.find_func(szNameBuf); f >= 0) {
            match = &model_->strings[view.func(static_cast<std::uint32_t>(f)).name];
            memid = view.func(static_cast<std::uint32_t>(f)).memid;
        }
        if (!match)
            continue;
        adopt_spelling(szNameBuf, *match);
        main_[t]->AddRef();
        ppTInfo[found] = main_[t].get();
        rgMemId[found] = memid;
        ++found;
    }
    *pcFound = found;
    return S_OK;
}

void STDMETHODCALLTYPE TypeLibrary::ReleaseTLibAttr(TLIBATTR *pTLibAttr)
{
    free_lib_attr(pTLibAttr);
}

} // namespace morvane::typelib
