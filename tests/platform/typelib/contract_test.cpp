// The component's contract as its compiled type library states it: a text dump of
// the library (identifiers, versions, every type and member with its slot,
// dispatch ID, kind, parameter names, types and flags, and the base interfaces
// it reaches), compared with the committed contract.txt. A change to the
// interfaces shows up here as a reviewed difference of that file; set
// MORVANE_WRITE_CONTRACT=1 to write the new dump over it.
#include "typelib_files.h"

#include <variant_type_table.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

using namespace typelib_test;

namespace {

std::string guid_text(const GUID &guid)
{
    OLECHAR text[40];
    StringFromGUID2(guid, text, 40);
    return narrow(text);
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
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

class Dumper {
public:
    std::ostringstream out;

    void library(ITypeLib *library)
    {
        TLIBATTR *attr = nullptr;
        library->GetLibAttr(&attr);
        BSTR name = nullptr, doc = nullptr;
        library->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
        out << "library " << narrow(name) << " " << guid_text(attr->guid) << " " << attr->wMajorVerNum << "."
            << attr->wMinorVerNum << " lcid " << hex(attr->lcid) << " syskind " << attr->syskind << " \""
            << narrow(doc) << "\"\n";
        SysFreeString(name);
        SysFreeString(doc);
        library->ReleaseTLibAttr(attr);
        for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
            ITypeInfo *info = nullptr;
            library->GetTypeInfo(i, &info);
            type(info);
            info->Release();
        }
    }

private:
    std::set<std::string> seen_;

    void type(ITypeInfo *info)
    {
        TYPEATTR *attr = nullptr;
        info->GetTypeAttr(&attr);
        BSTR name = nullptr, doc = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr);
        const std::string title = narrow(name);
        const std::string key = title + " " + std::to_string(attr->typekind);
        SysFreeString(name);
        if (!seen_.insert(key).second) {
            SysFreeString(doc);
            info->ReleaseTypeAttr(attr);
            return;
        }
        ITypeLib *container = nullptr;
        UINT index = 0;
        info->GetContainingTypeLib(&container, &index);
        TLIBATTR *lib = nullptr;
        container->GetLibAttr(&lib);
        out << "\ntype " << title << " kind " << attr->typekind << " " << guid_text(attr->guid) << " "
            << attr->wMajorVerNum << "." << attr->wMinorVerNum << " flags " << hex(attr->wTypeFlags) << " slots "
            << attr->cbSizeVft / 8 << " from library " << lib->wMajorVerNum << "." << lib->wMinorVerNum
            << " index " << index << " \"" << narrow(doc) << "\"\n";
        container->ReleaseTLibAttr(lib);
        container->Release();
        SysFreeString(doc);
        for (UINT f = 0; f < attr->cFuncs; ++f)
            member(info, f);
        std::vector<ITypeInfo *> bases;
        for (UINT i = 0; i < attr->cImplTypes; ++i)
            bases.push_back(implemented(info, i));
        if (attr->wTypeFlags & TYPEFLAG_FDUAL && attr->typekind == TKIND_DISPATCH)
            bases.push_back(implemented(info, static_cast<UINT>(-1)));
        info->ReleaseTypeAttr(attr);
        for (ITypeInfo *base : bases) {
            type(base);
            base->Release();
        }
    }

    ITypeInfo *implemented(ITypeInfo *info, UINT index)
    {
        INT flags = 0;
        info->GetImplTypeFlags(index, &flags);
        HREFTYPE ref = 0;
        info->GetRefTypeOfImplType(index, &ref);
        ITypeInfo *base = nullptr;
        info->GetRefTypeInfo(ref, &base);
        BSTR name = nullptr;
        base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        out << "  implements " << (index == static_cast<UINT>(-1) ? "(table view) " : "") << narrow(name)
            << " flags " << flags << "\n";
        SysFreeString(name);
        return base;
    }

    void member(ITypeInfo *info, UINT index)
    {
        FUNCDESC *func = nullptr;
        info->GetFuncDesc(index, &func);
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 16, &count);
        BSTR doc = nullptr;
        info->GetDocumentation(func->memid, nullptr, &doc, nullptr, nullptr);
        out << "  " << hex(static_cast<ULONG>(func->memid)) << " " << narrow(names[0]) << " invoke "
            << func->invkind << " func " << func->funckind << " slot " << func->oVft / 8 << " flags "
            << hex(func->wFuncFlags) << " returns " << type_text(func->elemdescFunc.tdesc) << " \""
            << narrow(doc) << "\"\n";
        for (SHORT p = 0; p < func->cParams; ++p) {
            const ELEMDESC &param = func->lprgelemdescParam[p];
            const UINT name_index = static_cast<UINT>(p) + 1;
            out << "    " << (name_index < count ? narrow(names[name_index]) : "-") << " "
                << type_text(param.tdesc) << " flags " << hex(param.paramdesc.wParamFlags) << "\n";
        }
        for (UINT i = 0; i < count; ++i)
            SysFreeString(names[i]);
        SysFreeString(doc);
        info->ReleaseFuncDesc(func);
    }
};

TEST(Contract, TheCompiledTypeLibraryStatesTheCommittedContract)
{
    ScratchFolder folder;
    ITypeLib *library = nullptr;
    ASSERT_EQ(load(folder.write("morvane.tlb", component_typelib()), &library), S_OK);
    Dumper dumper;
    dumper.library(library);
    library->Release();

    if (std::getenv("MORVANE_WRITE_CONTRACT") != nullptr)
        std::ofstream(CONTRACT_FILE) << dumper.out.str();
    std::ifstream in(CONTRACT_FILE);
    std::stringstream committed;
    committed << in.rdbuf();
    EXPECT_EQ(dumper.out.str(), committed.str());
}

} // namespace
