// The text dump of a loaded type library that tests compare with literal and committed
// texts.
#include "typelib_dump.h"
#include "typelib_walk.h"

#include <variant_type_table.h>

#include <cstdio>
#include <set>
#include <sstream>

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

// Writes each description once (imported ones only when asked), its members and its bases.
class Dumper : public TypeVisitor {
public:
    Dumper(ITypeLib *library, bool imports, std::ostringstream &out) : library_(library), imports_(imports), out_(out) {}

    bool type(ITypeInfo *info, const TYPEATTR &attr, int) override
    {
        BSTR name = nullptr, doc = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
        const std::string title = take(name), help = take(doc);
        ITypeLib *container = nullptr;
        UINT index = 0;
        info->GetContainingTypeLib(&container, &index);
        const bool shown = (imports_ || container == library_) &&
                           seen_.insert(title + " " + std::to_string(attr.typekind)).second;
        if (shown) {
            TLIBATTR *lib = nullptr;
            container->GetLibAttr(&lib);
            out_ << "\ntype " << title << " kind " << attr.typekind << " " << guid_text(attr.guid) << " "
                 << attr.wMajorVerNum << "." << attr.wMinorVerNum << " flags " << hex(attr.wTypeFlags) << " slots "
                 << attr.cbSizeVft / 8 << " from library " << lib->wMajorVerNum << "." << lib->wMinorVerNum
                 << " index " << index << " \"" << help << "\"\n";
            container->ReleaseTLibAttr(lib);
        }
        container->Release();
        return shown;
    }

    void member(ITypeInfo *info, const FUNCDESC &func) override
    {
        BSTR names[16] = {}, doc = nullptr;
        UINT count = 0;
        info->GetNames(func.memid, names, 16, &count);
        info->GetDocumentation(func.memid, nullptr, &doc, nullptr, nullptr);
        out_ << "  " << hex(static_cast<ULONG>(func.memid)) << " " << take(names[0]) << " invoke " << func.invkind
             << " func " << func.funckind << " slot " << func.oVft / 8 << " flags " << hex(func.wFuncFlags)
             << " returns " << type_text(func.elemdescFunc.tdesc) << " \"" << take(doc) << "\" (";
        for (UINT p = 0; p < static_cast<UINT>(func.cParams); ++p) // a write's value has no name: "-"
            out_ << (p ? ", " : "") << (p + 1 < count ? take(names[p + 1]) : "-") << " "
                 << type_text(func.lprgelemdescParam[p].tdesc) << " "
                 << hex(func.lprgelemdescParam[p].paramdesc.wParamFlags);
        out_ << ")\n";
    }

    // The table view is shown for dual dispatch interfaces only.
    bool base(const TYPEATTR &attr, UINT index, INT flags, ITypeInfo *base) override
    {
        const bool table_view = index == static_cast<UINT>(-1);
        if (table_view && !(attr.wTypeFlags & TYPEFLAG_FDUAL && attr.typekind == TKIND_DISPATCH))
            return false;
        BSTR name = nullptr;
        base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        out_ << "  implements " << (table_view ? "(table view) " : "") << take(name) << " flags " << flags << "\n";
        return true;
    }

private:
    ITypeLib *library_;
    bool imports_;
    std::ostringstream &out_;
    std::set<std::string> seen_;
};

} // namespace

std::string dump(ITypeLib *library, bool imports)
{
    std::ostringstream out;
    TLIBATTR *attr = nullptr;
    library->GetLibAttr(&attr);
    BSTR name = nullptr, doc = nullptr;
    DWORD context = 0;
    library->GetDocumentation(-1, &name, &doc, &context, nullptr);
    out << "library " << take(name) << " " << guid_text(attr->guid) << " " << attr->wMajorVerNum << "."
        << attr->wMinorVerNum << " lcid " << hex(attr->lcid) << " syskind " << attr->syskind << " flags "
        << hex(attr->wLibFlags) << " help " << context << " \"" << take(doc) << "\"\n";
    library->ReleaseTLibAttr(attr);
    walk(library, Dumper(library, imports, out));
    library->Release();
    return out.str();
}

} // namespace test_support
