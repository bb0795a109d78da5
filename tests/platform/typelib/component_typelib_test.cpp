// The component's type library, compiled from its interface definition and read back
// through LoadTypeLib, describes the contract: the library, the class, the dual
// interface in both its views and the raw interface.
#include "typelib_files.h"
#include "typelib_walk.h"

#include <morvane.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace typelib_test;

namespace {

// Releases an interface when it leaves scope.
struct Releaser {
    void operator()(IUnknown *unknown) const { unknown->Release(); }
};
template <typename T> using Ref = std::unique_ptr<T, Releaser>;

class ComponentTypeLib : public ::testing::Test {
protected:
    void SetUp() override
    {
        ITypeLib *raw = nullptr;
        ASSERT_EQ(load(folder_.write("morvane.tlb", component_typelib()), &raw), S_OK);
        library_.reset(raw);
    }

    Ref<ITypeInfo> info_of(REFGUID guid)
    {
        ITypeInfo *info = nullptr;
        EXPECT_EQ(library_->GetTypeInfoOfGuid(guid, &info), S_OK);
        return Ref<ITypeInfo>(info);
    }

    Ref<ITypeInfo> table_view_of(ITypeInfo *dispatch)
    {
        HREFTYPE ref = 0;
        EXPECT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
        ITypeInfo *info = nullptr;
        EXPECT_EQ(dispatch->GetRefTypeInfo(ref, &info), S_OK);
        return Ref<ITypeInfo>(info);
    }

    static std::string doc_of(ITypeInfo *info, MEMBERID memid, std::string *name = nullptr)
    {
        BSTR bname = nullptr, bdoc = nullptr;
        EXPECT_EQ(info->GetDocumentation(memid, &bname, &bdoc, nullptr, nullptr), S_OK);
        if (name)
            *name = narrow(bname);
        std::string text = narrow(bdoc);
        SysFreeString(bname);
        SysFreeString(bdoc);
        return text;
    }

    ScratchFolder folder_;
    Ref<ITypeLib> library_;
};

struct Member {
    MEMBERID memid;
    INVOKEKIND kind;
    const char *name;
};

const Member kDualMembers[22] = {
    {1, INVOKE_PROPERTYGET, "lines"},          {1, INVOKE_PROPERTYPUT, "lines"},
    {2, INVOKE_PROPERTYGET, "columns"},        {2, INVOKE_PROPERTYPUT, "columns"},
    {3, INVOKE_PROPERTYGET, "max_features"},   {3, INVOKE_PROPERTYPUT, "max_features"},
    {4, INVOKE_FUNC, "track_corners"},         {5, INVOKE_FUNC, "create_morvane"},
    {6, INVOKE_FUNC, "destroy_morvane"},       {7, INVOKE_PROPERTYGET, "stop_iterations"},
    {7, INVOKE_PROPERTYPUT, "stop_iterations"}, {8, INVOKE_PROPERTYGET, "stop_epsilon"},
    {8, INVOKE_PROPERTYPUT, "stop_epsilon"},   {9, INVOKE_PROPERTYGET, "feature_width"},
    {9, INVOKE_PROPERTYPUT, "feature_width"},  {10, INVOKE_PROPERTYGET, "feature_height"},
    {10, INVOKE_PROPERTYPUT, "feature_height"}, {11, INVOKE_PROPERTYGET, "pyramid_levels"},
    {11, INVOKE_PROPERTYPUT, "pyramid_levels"}, {12, INVOKE_PROPERTYGET, "calc_match_residue"},
    {12, INVOKE_PROPERTYPUT, "calc_match_residue"}, {13, INVOKE_PROPERTYGET, "match_residue"},
};

} // namespace

TEST_F(ComponentTypeLib, LibraryAttributesAndOrder)
{
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_MORVANELib));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x0409u);
    EXPECT_EQ(attr->syskind, SYS_WIN64);
    library_->ReleaseTLibAttr(attr);

    BSTR name = nullptr, doc = nullptr, file = reinterpret_cast<BSTR>(1);
    DWORD context = 7;
    ASSERT_EQ(library_->GetDocumentation(-1, &name, &doc, &context, &file), S_OK);
    EXPECT_EQ(narrow(name), "MORVANELib");
    EXPECT_EQ(narrow(doc), "Morvane 1.0 Type Library");
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(context, 0u);
    SysFreeString(name);
    SysFreeString(doc);

    ASSERT_EQ(library_->GetTypeInfoCount(), 3u);
    const TYPEKIND kinds[3] = {TKIND_COCLASS, TKIND_DISPATCH, TKIND_INTERFACE};
    const char *names[3] = {"CoMorvane", "IMorvane", "_IMorvane"};
    for (UINT i = 0; i < 3; ++i) {
        TYPEKIND kind;
        EXPECT_EQ(library_->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, kinds[i]);
        BSTR type_name = nullptr;
        EXPECT_EQ(library_->GetDocumentation(static_cast<INT>(i), &type_name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(narrow(type_name), names[i]);
        SysFreeString(type_name);
    }
    TYPEKIND kind;
    EXPECT_EQ(library_->GetTypeInfoType(3, &kind), TYPE_E_ELEMENTNOTFOUND);
    ITypeInfo *none = reinterpret_cast<ITypeInfo *>(1);
    EXPECT_EQ(library_->GetTypeInfo(3, &none), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(library_->GetDocumentation(3, nullptr, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(library_->GetTypeInfoOfGuid(IID_IDispatch, &none), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(ComponentTypeLib, TheDualInterfaceAnswersItsMembersByDispatchId)
{
    const auto info = info_of(IID_IMorvane);
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->cFuncs, 22);
    EXPECT_EQ(attr->cImplTypes, 1);
    EXPECT_EQ(attr->cbSizeVft, 7 * 8);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
              TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
    EXPECT_TRUE(IsEqualIID(attr->guid, IID_IMorvane));
    EXPECT_EQ(attr->lcid, 0x0409u);
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(doc_of(info.get(), MEMBERID_NIL), "IMorvane Interface");

    for (UINT i = 0; i < 22; ++i) {
        SCOPED_TRACE(kDualMembers[i].name);
        FUNCDESC *desc = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &desc), S_OK);
        EXPECT_EQ(desc->memid, kDualMembers[i].memid);
        EXPECT_EQ(desc->invkind, kDualMembers[i].kind);
        EXPECT_EQ(desc->funckind, FUNC_DISPATCH);
        EXPECT_EQ(desc->oVft, static_cast<SHORT>((7 + i) * 8));
        std::string name;
        const std::string doc = doc_of(info.get(), desc->memid, &name);
        EXPECT_EQ(name, kDualMembers[i].name);
        const bool method = kDualMembers[i].kind == INVOKE_FUNC;
        EXPECT_EQ(doc, std::string(method ? "method " : "property ") + kDualMembers[i].name);
        info->ReleaseFuncDesc(desc);
    }
    FUNCDESC *desc = nullptr;
    EXPECT_EQ(info->GetFuncDesc(22, &desc), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(ComponentTypeLib, TheDispatchViewReturnsTheRetvalAndHidesHresult)
{
    const auto info = info_of(IID_IMorvane);
    FUNCDESC *get_lines = nullptr, *put_epsilon = nullptr, *track = nullptr, *create = nullptr;
    ASSERT_EQ(info->GetFuncDesc(0, &get_lines), S_OK);
    ASSERT_EQ(info->GetFuncDesc(12, &put_epsilon), S_OK);
    ASSERT_EQ(info->GetFuncDesc(6, &track), S_OK);
    ASSERT_EQ(info->GetFuncDesc(7, &create), S_OK);
    EXPECT_EQ(get_lines->cParams, 0);
    EXPECT_EQ(get_lines->elemdescFunc.tdesc.vt, VT_I4);
    EXPECT_EQ(put_epsilon->cParams, 1);
    EXPECT_EQ(put_epsilon->lprgelemdescParam[0].tdesc.vt, VT_R4);
    EXPECT_EQ(put_epsilon->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FIN);
    EXPECT_EQ(put_epsilon->elemdescFunc.tdesc.vt, VT_VOID);
    EXPECT_EQ(track->cParams, 3);
    for (SHORT p = 0; p < 3; ++p)
        EXPECT_EQ(track->lprgelemdescParam[p].tdesc.vt, VT_VARIANT);
    EXPECT_EQ(track->elemdescFunc.tdesc.vt, VT_VARIANT);
    EXPECT_EQ(create->cParams, 0);
    EXPECT_EQ(create->elemdescFunc.tdesc.vt, VT_VOID);
    for (FUNCDESC *d : {get_lines, put_epsilon, track, create})
        info->ReleaseFuncDesc(d);
}

TEST_F(ComponentTypeLib, TheTableViewOfTheDualInterfaceHasTheDeclaredSignatures)
{
    const auto dispatch = info_of(IID_IMorvane);
    const auto table = table_view_of(dispatch.get());
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(table->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->cFuncs, 22);
    EXPECT_EQ(attr->cbSizeVft, 29 * 8);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    table->ReleaseTypeAttr(attr);

    FUNCDESC *get_lines = nullptr, *track = nullptr;
    ASSERT_EQ(table->GetFuncDesc(0, &get_lines), S_OK);
    ASSERT_EQ(table->GetFuncDesc(6, &track), S_OK);
    EXPECT_EQ(get_lines->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(get_lines->oVft, 7 * 8);
    EXPECT_EQ(get_lines->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(get_lines->cParams, 1);
    EXPECT_EQ(get_lines->lprgelemdescParam[0].tdesc.vt, VT_PTR);
    EXPECT_EQ(get_lines->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_I4);
    EXPECT_EQ(get_lines->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    ASSERT_EQ(track->cParams, 4);
    EXPECT_EQ(track->lprgelemdescParam[3].tdesc.lptdesc->vt, VT_VARIANT);
    table->ReleaseFuncDesc(get_lines);
    table->ReleaseFuncDesc(track);

    // The table view's names include the returned parameter.
    BSTR names[6] = {};
    UINT count = 0;
    ASSERT_EQ(table->GetNames(4, names, 6, &count), S_OK);
    ASSERT_EQ(count, 5u);
    EXPECT_EQ(narrow(names[4]), "matches");
    for (UINT i = 0; i < count; ++i)
        SysFreeString(names[i]);

    ITypeLib *container = nullptr;
    UINT index = 99;
    ASSERT_EQ(table->GetContainingTypeLib(&container, &index), S_OK);
    EXPECT_EQ(container, library_.get());
    EXPECT_EQ(index, 1u);
    container->Release();
}

TEST_F(ComponentTypeLib, NamesResolveWithoutRegardToCaseAndThenTheirParameters)
{
    const auto info = info_of(IID_IMorvane);
    std::u16string track = u"track_corners", imgb = u"imgB";
    LPOLESTR request[2] = {track.data(), imgb.data()};
    MEMBERID ids[2] = {};
    ASSERT_EQ(info->GetIDsOfNames(request, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 4);
    EXPECT_EQ(ids[1], 1);

    for (const auto &[name, id] : std::vector<std::pair<std::u16string, MEMBERID>>{
             {u"lines", 1}, {u"LINES", 1}, {u"Match_Residue", 13}, {u"CREATE_MORVANE", 5}}) {
        std::u16string buffer = name;
        LPOLESTR one = buffer.data();
        MEMBERID got = 0;
        EXPECT_EQ(info->GetIDsOfNames(&one, 1, &got), S_OK);
        EXPECT_EQ(got, id);
    }

    std::u16string unknown = u"no_such_member";
    request[0] = unknown.data();
    ids[0] = ids[1] = 0;
    EXPECT_EQ(info->GetIDsOfNames(request, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);

    std::u16string bad_param = u"imgC", first = u"IMGA";
    LPOLESTR three[3] = {track.data(), bad_param.data(), first.data()};
    MEMBERID three_ids[3] = {};
    EXPECT_EQ(info->GetIDsOfNames(three, 3, three_ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(three_ids[0], 4);
    EXPECT_EQ(three_ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(three_ids[2], 0);

    // A property write's value has no name; in the dispatch view the returned
    // parameter is not a parameter either.
    std::u16string lines = u"lines", value = u"newVal", matches = u"matches";
    LPOLESTR put[2] = {lines.data(), value.data()};
    EXPECT_EQ(info->GetIDsOfNames(put, 2, ids), DISP_E_UNKNOWNNAME);
    LPOLESTR ret[2] = {track.data(), matches.data()};
    EXPECT_EQ(info->GetIDsOfNames(ret, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(info->GetIDsOfNames(request, 0, ids), E_INVALIDARG);
}

TEST_F(ComponentTypeLib, NamesOfMembersFollowTheView)
{
    const auto info = info_of(IID_IMorvane);
    BSTR names[5] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(4, names, 5, &count), S_OK);
    std::vector<std::string> got;
    for (UINT i = 0; i < count; ++i) {
        got.push_back(narrow(names[i]));
        SysFreeString(names[i]);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"track_corners", "imgA", "imgB", "features"}));

    ASSERT_EQ(info->GetNames(4, names, 2, &count), S_OK);
    EXPECT_EQ(count, 2u);
    SysFreeString(names[0]);
    SysFreeString(names[1]);
    EXPECT_EQ(info->GetNames(99, names, 5, &count), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(ComponentTypeLib, TypeInfo2FindsMembersByIdAndKind)
{
    const auto info = info_of(IID_IMorvane);
    ITypeInfo2 *info2 = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void **>(&info2)), S_OK);
    UINT index = 0;
    EXPECT_EQ(info2->GetFuncIndexOfMemId(1, INVOKE_PROPERTYPUT, &index), S_OK);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(info2->GetFuncIndexOfMemId(13, INVOKE_PROPERTYGET, &index), S_OK);
    EXPECT_EQ(index, 21u);
    EXPECT_EQ(info2->GetFuncIndexOfMemId(13, INVOKE_PROPERTYPUT, &index), TYPE_E_ELEMENTNOTFOUND);
    TYPEKIND kind;
    EXPECT_EQ(info2->GetTypeKind(&kind), S_OK);
    EXPECT_EQ(kind, TKIND_DISPATCH);
    ULONG flags = 0;
    EXPECT_EQ(info2->GetTypeFlags(&flags), S_OK);
    EXPECT_TRUE(flags & TYPEFLAG_FDUAL);
    BSTR help = nullptr;
    EXPECT_EQ(info2->GetDocumentation2(5, 0x0409, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(narrow(help), "method create_morvane");
    SysFreeString(help);
    VARIANT v{};
    EXPECT_EQ(info2->GetCustData(IID_NULL, &v), E_NOTIMPL);
    info2->Release();
}

TEST_F(ComponentTypeLib, TheRawInterfaceHasItsOneMember)
{
    const auto info = info_of(IID__IMorvane);
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->cFuncs, 1);
    EXPECT_EQ(attr->cbSizeVft, 4 * 8);
    EXPECT_FALSE(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE));
    info->ReleaseTypeAttr(attr);

    FUNCDESC *desc = nullptr;
    ASSERT_EQ(info->GetFuncDesc(0, &desc), S_OK);
    EXPECT_EQ(desc->memid, 0x60010000);
    EXPECT_EQ(desc->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(desc->invkind, INVOKE_FUNC);
    EXPECT_EQ(desc->oVft, 3 * 8);
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(desc->cParams, 7);
    const VARTYPE pointee[7] = {VT_UI1, VT_UI1, VT_EMPTY, VT_R4, VT_R4, VT_UI1, VT_R4};
    const USHORT flags[7] = {PARAMFLAG_FIN, PARAMFLAG_FIN, PARAMFLAG_FIN, PARAMFLAG_FIN,
                             PARAMFLAG_FIN | PARAMFLAG_FOUT, PARAMFLAG_FIN | PARAMFLAG_FOUT,
                             PARAMFLAG_FIN | PARAMFLAG_FOUT};
    for (int p = 0; p < 7; ++p) {
        const ELEMDESC &param = desc->lprgelemdescParam[p];
        if (pointee[p] == VT_EMPTY) {
            EXPECT_EQ(param.tdesc.vt, VT_I4);
        } else {
            ASSERT_EQ(param.tdesc.vt, VT_PTR);
            EXPECT_EQ(param.tdesc.lptdesc->vt, pointee[p]);
        }
        EXPECT_EQ(param.paramdesc.wParamFlags, flags[p]);
    }
    info->ReleaseFuncDesc(desc);
    EXPECT_EQ(doc_of(info.get(), 0x60010000), "method _track_corners");
    EXPECT_EQ(doc_of(info.get(), MEMBERID_NIL), "_IMorvane Interface");

    BSTR names[8] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(0x60010000, names, 8, &count), S_OK);
    ASSERT_EQ(count, 8u);
    EXPECT_EQ(narrow(names[3]), "count");
    EXPECT_EQ(narrow(names[7]), "residue");
    for (UINT i = 0; i < count; ++i)
        SysFreeString(names[i]);

    HREFTYPE ref = 0;
    EXPECT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(ComponentTypeLib, TheClassImplementsBothInterfacesWithTheDualAsDefault)
{
    const auto info = info_of(CLSID_CoMorvane);
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->cImplTypes, 2);
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(doc_of(info.get(), MEMBERID_NIL), "CoMorvane Class");

    const GUID expected[2] = {IID_IMorvane, IID__IMorvane};
    const INT expected_flags[2] = {IMPLTYPEFLAG_FDEFAULT, 0};
    for (UINT i = 0; i < 2; ++i) {
        INT flags = -1;
        EXPECT_EQ(info->GetImplTypeFlags(i, &flags), S_OK);
        EXPECT_EQ(flags, expected_flags[i]);
        HREFTYPE ref = 0;
        ASSERT_EQ(info->GetRefTypeOfImplType(i, &ref), S_OK);
        ITypeInfo *implemented = nullptr;
        ASSERT_EQ(info->GetRefTypeInfo(ref, &implemented), S_OK);
        TYPEATTR *implemented_attr = nullptr;
        ASSERT_EQ(implemented->GetTypeAttr(&implemented_attr), S_OK);
        EXPECT_TRUE(IsEqualIID(implemented_attr->guid, expected[i]));
        implemented->ReleaseTypeAttr(implemented_attr);
        implemented->Release();
    }
    HREFTYPE ref = 0;
    EXPECT_EQ(info->GetRefTypeOfImplType(2, &ref), TYPE_E_ELEMENTNOTFOUND);
    ITypeInfo *none = nullptr;
    EXPECT_EQ(info->GetRefTypeInfo(0x12345, &none), TYPE_E_ELEMENTNOTFOUND);
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(info_of(IID_IMorvane)->CreateInstance(nullptr, IID_IUnknown, &object), TYPE_E_WRONGTYPEKIND);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ComponentTypeLib, BaseInterfacesComeFromTheStandardLibrary)
{
    const auto raw = info_of(IID__IMorvane);
    HREFTYPE ref = 0;
    ASSERT_EQ(raw->GetRefTypeOfImplType(0, &ref), S_OK);
    ITypeInfo *unknown = nullptr;
    ASSERT_EQ(raw->GetRefTypeInfo(ref, &unknown), S_OK);
    std::string name;
    doc_of(unknown, MEMBERID_NIL, &name);
    EXPECT_EQ(name, "IUnknown");
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(unknown->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualIID(attr->guid, IID_IUnknown));
    EXPECT_EQ(attr->cFuncs, 3);
    EXPECT_EQ(attr->cbSizeVft, 3 * 8);
    unknown->ReleaseTypeAttr(attr);
    unknown->Release();

    const auto dual = info_of(IID_IMorvane);
    ASSERT_EQ(dual->GetRefTypeOfImplType(0, &ref), S_OK);
    ITypeInfo *dispatch = nullptr;
    ASSERT_EQ(dual->GetRefTypeInfo(ref, &dispatch), S_OK);
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualIID(attr->guid, IID_IDispatch));
    EXPECT_EQ(attr->cFuncs, 4);
    EXPECT_EQ(attr->cbSizeVft, 7 * 8);
    dispatch->ReleaseTypeAttr(attr);
    FUNCDESC *invoke = nullptr;
    ASSERT_EQ(dispatch->GetFuncDesc(3, &invoke), S_OK);
    EXPECT_EQ(invoke->oVft, 6 * 8);
    EXPECT_EQ(invoke->memid, 0x60010003);
    EXPECT_EQ(invoke->cParams, 8);
    dispatch->ReleaseFuncDesc(invoke);
    ITypeLib *standard = nullptr;
    ASSERT_EQ(dispatch->GetContainingTypeLib(&standard, nullptr), S_OK);
    TLIBATTR *lib = nullptr;
    ASSERT_EQ(standard->GetLibAttr(&lib), S_OK);
    EXPECT_EQ(lib->wMajorVerNum, 2);
    standard->ReleaseTLibAttr(lib);
    standard->Release();
    dispatch->Release();
}

TEST_F(ComponentTypeLib, IsNameAndFindNameGiveTheLibrarysSpelling)
{
    std::u16string name = u"TRACK_CORNERS";
    BOOL found = FALSE;
    ASSERT_EQ(library_->IsName(name.data(), 0, &found), S_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(name, u"track_corners");

    std::u16string missing = u"Nothing";
    ASSERT_EQ(library_->IsName(missing.data(), 0, &found), S_OK);
    EXPECT_FALSE(found);
    EXPECT_EQ(missing, u"Nothing");

    std::u16string type = u"comorvane";
    ITypeInfo *infos[2] = {};
    MEMBERID ids[2] = {};
    USHORT count = 2;
    ASSERT_EQ(library_->FindName(type.data(), 0, infos, ids, &count), S_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(type, u"CoMorvane");
    EXPECT_EQ(ids[0], MEMBERID_NIL);
    infos[0]->Release();

    std::u16string member = u"Lines";
    count = 2;
    ASSERT_EQ(library_->FindName(member.data(), 0, infos, ids, &count), S_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(ids[0], 1);
    TYPEKIND kind;
    ITypeInfo2 *info2 = nullptr;
    ASSERT_EQ(infos[0]->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void **>(&info2)), S_OK);
    EXPECT_EQ(info2->GetTypeKind(&kind), S_OK);
    EXPECT_EQ(kind, TKIND_DISPATCH);
    info2->Release();
    infos[0]->Release();
}

TEST_F(ComponentTypeLib, DescriptionsKeepTheirLibraryAliveAndAreTheSameObjects)
{
    ITypeInfo *first = nullptr, *second = nullptr;
    ASSERT_EQ(library_->GetTypeInfo(1, &first), S_OK);
    ASSERT_EQ(library_->GetTypeInfoOfGuid(IID_IMorvane, &second), S_OK);
    EXPECT_EQ(first, second);
    second->Release();
    library_.reset(); // the description still holds the library
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(first->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cFuncs, 22);
    first->ReleaseTypeAttr(attr);
    ITypeLib *container = nullptr;
    ASSERT_EQ(first->GetContainingTypeLib(&container, nullptr), S_OK);
    EXPECT_EQ(container->GetTypeInfoCount(), 3u);
    container->Release();
    IUnknown *unknown = nullptr;
    ASSERT_EQ(first->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&unknown)), S_OK);
    unknown->Release();
    void *nothing = reinterpret_cast<void *>(1);
    EXPECT_EQ(first->QueryInterface(IID_IDispatch, &nothing), E_NOINTERFACE);
    EXPECT_EQ(nothing, nullptr);
    first->Release();
}

TEST_F(ComponentTypeLib, AWalkOverEverythingSeesEveryMember)
{
    // 22 + 1 own members, and IDispatch (4) and IUnknown (3) reached as bases.
    EXPECT_GE(walk(library_.get()), 23u);
}
