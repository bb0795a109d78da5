// The component's type library read back through LoadTypeLib: name lookups, the
// second type-information interface, refusals and the lifetime of descriptions.
// What the library states is compared as a whole in contract_test.cpp.
#include "typelib_files.h"

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

    ScratchFolder folder_;
    Ref<ITypeLib> library_;
};

} // namespace

// Names resolve without regard to case: the member first, then its parameters.
TEST_F(ComponentTypeLib, NamesResolveToMembersAndThenTheirParameters)
{
    const auto info = info_of(IID_IMorvane);
    const MEMBERID unknown = DISPID_UNKNOWN;
    const struct {
        std::vector<std::u16string> names;
        HRESULT expected;
        std::vector<MEMBERID> ids;
    } cases[] = {
        {{u"track_corners", u"imgB"}, S_OK, {4, 1}},
        {{u"LINES"}, S_OK, {1}},
        {{u"Match_Residue"}, S_OK, {13}},
        {{u"CREATE_MORVANE"}, S_OK, {5}},
        {{u"no_such_member", u"imgB"}, DISP_E_UNKNOWNNAME, {unknown, unknown}},
        {{u"track_corners", u"imgC", u"IMGA"}, DISP_E_UNKNOWNNAME, {4, unknown, 0}},
        // A property write's value has no name; in the dispatch view the returned
        // parameter is not a parameter either.
        {{u"lines", u"newVal"}, DISP_E_UNKNOWNNAME, {1, unknown}},
        {{u"track_corners", u"matches"}, DISP_E_UNKNOWNNAME, {4, unknown}},
    };
    for (auto c : cases) {
        std::vector<LPOLESTR> request;
        for (auto &name : c.names)
            request.push_back(name.data());
        std::vector<MEMBERID> ids(request.size(), 77);
        EXPECT_EQ(info->GetIDsOfNames(request.data(), UINT(request.size()), ids.data()), c.expected);
        EXPECT_EQ(ids, c.ids);
    }
    MEMBERID id = 0;
    EXPECT_EQ(info->GetIDsOfNames(nullptr, 0, &id), E_INVALIDARG);
}

// What the library holds is stated by the contract file; these are the requests beyond it.
TEST_F(ComponentTypeLib, RequestsBeyondWhatTheLibraryHoldsAreRefused)
{
    TYPEKIND kind;
    EXPECT_EQ(library_->GetTypeInfoType(3, &kind), TYPE_E_ELEMENTNOTFOUND);
    ITypeInfo *none = reinterpret_cast<ITypeInfo *>(1);
    EXPECT_EQ(library_->GetTypeInfo(3, &none), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(library_->GetDocumentation(3, nullptr, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(library_->GetTypeInfoOfGuid(IID_IDispatch, &none), TYPE_E_ELEMENTNOTFOUND);
    BSTR file = reinterpret_cast<BSTR>(1);
    DWORD context = 7;
    ASSERT_EQ(library_->GetDocumentation(-1, nullptr, nullptr, &context, &file), S_OK);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(context, 0u);

    const auto info = info_of(IID_IMorvane);
    FUNCDESC *desc = nullptr;
    EXPECT_EQ(info->GetFuncDesc(22, &desc), TYPE_E_ELEMENTNOTFOUND);
    HREFTYPE table_ref = 0; // the table view lives in this same library object
    ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &table_ref), S_OK);
    ITypeInfo *table = nullptr;
    ASSERT_EQ(info->GetRefTypeInfo(table_ref, &table), S_OK);
    ITypeLib *container = nullptr;
    ASSERT_EQ(table->GetContainingTypeLib(&container, nullptr), S_OK);
    EXPECT_EQ(container, library_.get());
    container->Release();
    table->Release();
    HREFTYPE ref = 0;
    EXPECT_EQ(info_of(IID__IMorvane)->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), TYPE_E_ELEMENTNOTFOUND);
    const auto coclass = info_of(CLSID_CoMorvane);
    EXPECT_EQ(coclass->GetRefTypeOfImplType(2, &ref), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(coclass->GetRefTypeInfo(0x12345, &none), TYPE_E_ELEMENTNOTFOUND);
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(info->CreateInstance(nullptr, IID_IUnknown, &object), TYPE_E_WRONGTYPEKIND);
    EXPECT_EQ(object, nullptr);

    BSTR names[5] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(4, names, 2, &count), S_OK);
    EXPECT_EQ(count, 2u);
    SysFreeString(names[0]);
    SysFreeString(names[1]);
    EXPECT_EQ(info->GetNames(99, names, 5, &count), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(ComponentTypeLib, TypeInfo2AndNameSearchesGiveTheLibrarysSpelling)
{
    ITypeInfo2 *info2 = nullptr;
    ASSERT_EQ(info_of(IID_IMorvane)->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void **>(&info2)), S_OK);
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

    const struct {
        std::u16string asked, spelled;
        BOOL found;
    } names[] = {{u"TRACK_CORNERS", u"track_corners", TRUE}, {u"Nothing", u"Nothing", FALSE}};
    for (auto c : names) {
        BOOL found = !c.found;
        ASSERT_EQ(library_->IsName(c.asked.data(), 0, &found), S_OK);
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(c.asked, c.spelled);
    }
    const struct {
        std::u16string asked, spelled;
        MEMBERID id;
    } finds[] = {{u"comorvane", u"CoMorvane", MEMBERID_NIL}, {u"Lines", u"lines", 1}};
    for (auto c : finds) {
        ITypeInfo *infos[2] = {};
        MEMBERID ids[2] = {};
        USHORT count = 2;
        ASSERT_EQ(library_->FindName(c.asked.data(), 0, infos, ids, &count), S_OK);
        ASSERT_EQ(count, 1u);
        EXPECT_EQ(c.asked, c.spelled);
        EXPECT_EQ(ids[0], c.id);
        infos[0]->Release();
    }
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
