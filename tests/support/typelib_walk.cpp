// Loads a type library from memory and calls everything it offers, for the reader's
// tests and fuzz target.
#include "typelib_walk.h"

#include "scratch_folder.h"

#include <oleauto.h>

#include <string>
#include <vector>
#include <sys/mman.h>
#include <unistd.h>

namespace test_support {

HRESULT load_memory(const std::vector<std::uint8_t> &bytes, ITypeLib **library)
{
    const int fd = ::memfd_create("typelib", MFD_CLOEXEC);
    if (fd < 0)
        return E_FAIL;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    write_file(path, bytes);
    const std::u16string wide_path(path.begin(), path.end());
    const HRESULT hr = LoadTypeLib(wide_path.c_str(), library);
    ::close(fd);
    return hr;
}

namespace {

void walk_names(ITypeInfo *info, MEMBERID memid)
{
    BSTR names[8] = {};
    UINT count = 0;
    if (SUCCEEDED(info->GetNames(memid, names, 8, &count))) {
        if (count > 0) {
            // Resolve the member by its own names, as a dispatch caller would.
            LPOLESTR request[8];
            MEMBERID ids[8];
            for (UINT i = 0; i < count; ++i)
                request[i] = names[i] ? names[i] : const_cast<LPOLESTR>(u"");
            info->GetIDsOfNames(request, count, ids);
        }
        for (UINT i = 0; i < count; ++i)
            SysFreeString(names[i]);
    }
    BSTR name = nullptr, doc = nullptr, file = nullptr;
    DWORD context = 0;
    if (SUCCEEDED(info->GetDocumentation(memid, &name, &doc, &context, &file)))
        for (BSTR text : {name, doc, file})
            SysFreeString(text);
}

void walk_info(ITypeInfo *info, TypeVisitor &visitor, int depth)
{
    TYPEATTR *attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)))
        return;
    if (!visitor.type(info, *attr, depth)) {
        info->ReleaseTypeAttr(attr);
        return;
    }
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC *desc = nullptr;
        if (FAILED(info->GetFuncDesc(f, &desc)))
            continue;
        // Touch every node of every type the description holds.
        auto touch = [](const TYPEDESC *t) {
            while (t->vt == VT_PTR || t->vt == VT_SAFEARRAY)
                t = t->lptdesc;
        };
        touch(&desc->elemdescFunc.tdesc);
        for (SHORT p = 0; p < desc->cParams; ++p)
            touch(&desc->lprgelemdescParam[p].tdesc);
        walk_names(info, desc->memid);
        ITypeInfo2 *info2 = nullptr;
        if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void **>(&info2)))) {
            UINT index = 0;
            info2->GetFuncIndexOfMemId(desc->memid, desc->invkind, &index);
            info2->Release();
        }
        visitor.member(info, *desc);
        info->ReleaseFuncDesc(desc);
    }
    walk_names(info, MEMBERID_NIL);
    // The listed bases, then the table view (index -1); each walked after all are seen.
    std::vector<ITypeInfo *> bases;
    for (UINT i = 0; i <= attr->cImplTypes; ++i) {
        const UINT index = i < attr->cImplTypes ? i : static_cast<UINT>(-1);
        HREFTYPE ref = 0;
        INT flags = 0;
        ITypeInfo *other = nullptr;
        info->GetImplTypeFlags(index, &flags);
        if (FAILED(info->GetRefTypeOfImplType(index, &ref)) || FAILED(info->GetRefTypeInfo(ref, &other)))
            continue;
        if (visitor.base(*attr, index, flags, other))
            bases.push_back(other);
        else
            other->Release();
    }
    for (ITypeInfo *other : bases) {
        walk_info(other, visitor, depth + 1);
        other->Release();
    }
    ITypeLib *container = nullptr;
    UINT index = 0;
    if (SUCCEEDED(info->GetContainingTypeLib(&container, &index)))
        container->Release();
    info->ReleaseTypeAttr(attr);
}

} // namespace

void walk(ITypeLib *library, TypeVisitor &&visitor)
{
    TLIBATTR *attr = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attr)))
        library->ReleaseTLibAttr(attr);
    BSTR name = nullptr, doc = nullptr, file = nullptr;
    DWORD context = 0;
    if (SUCCEEDED(library->GetDocumentation(-1, &name, &doc, &context, &file))) {
        if (name) {
            std::u16string buffer(name, SysStringLen(name));
            BOOL found = FALSE;
            library->IsName(buffer.data(), 0, &found);
            ITypeInfo *infos[4] = {};
            MEMBERID ids[4] = {};
            USHORT count = 4;
            if (SUCCEEDED(library->FindName(buffer.data(), 0, infos, ids, &count)))
                for (USHORT i = 0; i < count; ++i)
                    infos[i]->Release();
        }
        for (BSTR text : {name, doc, file})
            SysFreeString(text);
    }
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        TYPEKIND kind;
        library->GetTypeInfoType(i, &kind);
        ITypeInfo *info = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info)))
            continue;
        walk_info(info, visitor, 0);
        info->Release();
    }
}

} // namespace test_support
