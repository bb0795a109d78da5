// The text dump of a loaded type library that tests compare with literal and committed
// texts.
#include "typelib_dump.h"

#include <variant_type_table.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <vector>

namespace test_support {

namespace {

std::string narrow_text(const OLECHAR *text)
{
    return text ? std::string(text, text + std::char_traits<OLECHAR>::length(text)) : "";
}

std::string guid_text(const GUID &guid)
{
    OLECHAR text[40];
    StringFromGUID2(guid, text, 40);
    return narrow_text(text);
}

std::string type_text(const TYPEDESC &type)
{
    if (type.vt == VT_PTR)
        return type_text(*type.lptdesc) + "*";
    const morvane::vartype::Info *info = morvane::vartype::find(type.vt);
    return info != nullptr ? info->name : "vt" + std::to_string(type.vt);
}

std::string hex(unsigned long value)
{
    char text[24];
    return std::string(text, std::snprintf(text, sizeof text, "0x%lx", value));
}

// Text of a BSTR, which it frees.
std::string take(BSTR text)
{
    std::string out = narrow_text(text);
    SysFreeString(text);
    return out;
}

class Dumper {
public:
    std::ostringstream out;

    Dumper(ITypeLib *library, bool imports) : library_(library), imports_(imports)
    {
        TLIBATTR *attr = nullptr;
        library->GetLibAttr(&attr);
        BSTR name = nullptr, doc = nullptr;
        DWORD context = 0;
        library->GetDocumentation(-1, &name, &doc, &context, nullptr);
        out << "library " << take(name) << " " << guid_text(attr->guid) << " " << attr->wMajorVerNum << "."
            << attr->wMinorVerNum << " lcid " << hex(attr->lcid) << " syskind " << attr->syskind << " flags "
            << hex(attr->wLibFlags) << " help " << context << " \"" << take(doc) << "\"\n";
        library->ReleaseTLibAttr(attr);
        for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
            ITypeInfo *info = nullptr;
            library->GetTypeInfo(i, &info);
            type(info);
        }
    }

private:
    ITypeLib *library_;
    bool imports_;
    std::set<std::string> seen_;

    // Dumps a description once, with the bases it reaches, and releases it.
    void type(ITypeInfo *info)
    {
        TYPEATTR *attr = nullptr;
        info->GetTypeAttr(&attr);
        BSTR name = nullptr, doc = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
        const std::string title = take(name);
        ITypeLib *container = nullptr;
        UINT index = 0;
        info->GetContainingTypeLib(&container, &index);
        if ((imports_ || container == library_) && seen_.insert(title + " " + std::to_string(attr->typekind)).second) {
            TLIBATTR *lib = nullptr;
            container->GetLibAttr(&lib);
            out << "\ntype " << title << " kind " << attr->typekind << " " << guid_text(attr->guid) << " "
                << attr->wMajorVerNum << "." << attr->wMinorVerNum << " flags " << hex(attr->wTypeFlags)
                << " slots " << attr->cbSizeVft / 8 << " from library " << lib->wMajorVerNum << "."
                << lib->wMinorVerNum << " index " << index << " \"" << take(doc) << "\"\n";
            container->ReleaseTLibAttr(lib);
            for (UINT f = 0; f < attr->cFuncs; ++f)
                member(info, f);
            std::vector<ITypeInfo *> bases;
            for (UINT i = 0; i < attr->cImplTypes; ++i)
                bases.push_back(implemented(info, i));
            if (attr->wTypeFlags & TYPEFLAG_FDUAL && attr->typekind == TKIND_DISPATCH)
                bases.push_back(implemented(info, static_cast<UINT>(-1)));
            for (ITypeInfo *base : bases)
                type(base);
        } else {
            SysFreeString(doc);
        }
        container->Release();
        info->ReleaseTypeAttr(attr);
        info->Release();
    }

    ITypeInfo *implemented(ITypeInfo *info, UINT index)
    {
        INT flags = 0;
        HREFTYPE ref = 0;
        ITypeInfo *base = nullptr;
        BSTR name = nullptr;
        info->GetImplTypeFlags(index, &flags);
        info->GetRefTypeOfImplType(index, &ref);
        info->GetRefTypeInfo(ref, &base);
        base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        out << "  implements " << (index == static_cast<UINT>(-1) ? "(table view) " : "") << take(name)
            << " flags " << flags << "\n";
        return base;
    }

    void member(ITypeInfo *info, UINT index)
    {
        FUNCDESC *func = nullptr;
        info->GetFuncDesc(index, &func);
        BSTR names[16] = {}, doc = nullptr;
        UINT count = 0;
        info->GetNames(func->memid, names, 16, &count);
        info->GetDocumentation(func->memid, nullptr, &doc, nullptr, nullptr);
        out << "  " << hex(static_cast<ULONG>(func->memid)) << " " << take(names[0]) << " invoke " << func->invkind
            << " func " << func->funckind << " slot " << func->oVft / 8 << " flags " << hex(func->wFuncFlags)
            << " returns " << type_text(func->elemdescFunc.tdesc) << " \"" << take(doc) << "\" (";
        for (UINT p = 0; p < static_cast<UINT>(func->cParams); ++p) // a write's value has no name: "-"
            out << (p ? ", " : "") << (p + 1 < count ? take(names[p + 1]) : "-") << " "
                << type_text(func->lprgelemdescParam[p].tdesc) << " "
                << hex(func->lprgelemdescParam[p].paramdesc.wParamFlags);
        out << ")\n";
        info->ReleaseFuncDesc(func);
    }
};

} // namespace

std::string dump(ITypeLib *library, bool imports)
{
    const std::string text = Dumper(library, imports).out.str();
    library->Release();
    return text;
}

} // namespace test_support
