// The component's type library read back: names, ITypeInfo2, refusals, lifetimes.
#include "typelib_files.h"

#include <algorithm>

using namespace typelib_test;

// Names resolve without regard to case: the member first, then its parameters.
TEST_F(ComponentLibrary, NamesResolveToMembersAndThenTheirParameters)
{
    const MEMBERID unknown = DISPID_UNKNOWN;
    const std::tuple<std::vector<const OLECHAR *>, HRESULT, std::vector<MEMBERID>> cases[] = {
        {{u"no_such_member", u"imgB"}, DISP_E_UNKNOWNNAME, {unknown, unknown}},
        {{u"track_corners", u"imgC", u"IMGA"}, DISP_E_UNKNOWNNAME, {4, unknown, 0}},
        // A property write's value has no name, nor (in the dispatch view) the returned parameter.
        {{u"lines", u"newVal"}, DISP_E_UNKNOWNNAME, {1, unknown}},
        {{u"track_corners", u"matches"}, DISP_E_UNKNOWNNAME, {4, unknown}},
        // Whole names only: neither a prefix of a name nor a name and more.
        {{u"line"}, DISP_E_UNKNOWNNAME, {unknown}}, {{u"lines "}, DISP_E_UNKNOWNNAME, {unknown}},
    };
    for (auto [names, expected, wanted] : cases) {
        std::vector<MEMBERID> ids(names.size(), 77);
        EXPECT_EQ(info_->GetIDsOfNames(const_cast<LPOLESTR *>(names.data()), UINT(names.size()), ids.data()), expected);
        EXPECT_EQ(ids, wanted);
    }
    MEMBERID id = 0;
    EXPECT_EQ(info_->GetIDsOfNames(nullptr, 0, &id), E_INVALIDARG);

    // Searches ignore case and give back the library's spelling; a type is found with MEMBERID_NIL.
    const std::tuple<std::u16string, std::u16string, MEMBERID> finds[] = {
        {u"comorvane", u"CoMorvane", MEMBERID_NIL}, {u"TRACK_CORNERS", u"track_corners", 4},
        {u"Nothing", u"Nothing", 0}};
    for (auto [asked, spelled, wanted] : finds) {
        BOOL found = FALSE;
        ASSERT_EQ(library_->IsName(asked.data(), 0, &found), S_OK);
        ITypeInfo *infos[2] = {};
        MEMBERID ids[2] = {};
        USHORT count = 2;
        ASSERT_EQ(library_->FindName(asked.data(), 0, infos, ids, &count), S_OK);
        EXPECT_EQ(std::tuple(asked, found, count, ids[0]),
                  std::tuple(spelled, BOOL(wanted != 0), USHORT(wanted != 0), wanted));
        if (count == 1)
            infos[0]->Release();
    }
}

// What the library holds is stated by the contract file; these are the requests beyond it.
TEST_F(ComponentLibrary, RequestsBeyondWhatTheLibraryHoldsAreRefused)
{
    TYPEKIND kind;
    ITypeInfo *raw = nullptr, *coclass = nullptr, *none = reinterpret_cast<ITypeInfo *>(1), *other = none;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(IID__IMorvane, &raw), S_OK);
    ASSERT_EQ(library_->GetTypeInfoOfGuid(CLSID_CoMorvane, &coclass), S_OK);
    FUNCDESC *desc = nullptr;
    HREFTYPE ref = 0;
    BSTR names[5] = {};
    UINT count = 0;
    const HRESULT not_found[] = {
        library_->GetTypeInfoType(3, &kind), library_->GetTypeInfo(3, &none),
        library_->GetDocumentation(3, nullptr, nullptr, nullptr, nullptr),
        library_->GetTypeInfoOfGuid(IID_IDispatch, &other), info_->GetFuncDesc(22, &desc),
        raw->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), coclass->GetRefTypeOfImplType(2, &ref),
        coclass->GetRefTypeInfo(0x12345, &other), info_->GetNames(99, names, 5, &count),
    };
    for (const HRESULT &hr : not_found)
        EXPECT_EQ(hr, TYPE_E_ELEMENTNOTFOUND) << "row " << &hr - not_found;
    EXPECT_EQ(none, nullptr);
    raw->Release();
    coclass->Release();
    BSTR file = reinterpret_cast<BSTR>(1); // no help file
    ASSERT_EQ(library_->GetDocumentation(-1, nullptr, nullptr, nullptr, &file), S_OK);
    EXPECT_EQ(file, nullptr);
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(info_->CreateInstance(nullptr, IID_IUnknown, &object), TYPE_E_WRONGTYPEKIND);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(info_->GetNames(4, names, 2, &count), S_OK);
    EXPECT_EQ(count, 2u);
    std::for_each(names, names + 2, SysFreeString);

    ITypeInfo2 *info2 = nullptr;
    ASSERT_EQ(info_->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void **>(&info2)), S_OK);
    UINT put = 0, get = 0, absent = 0;
    EXPECT_EQ(info2->GetFuncIndexOfMemId(1, INVOKE_PROPERTYPUT, &put), S_OK);
    EXPECT_EQ(info2->GetFuncIndexOfMemId(13, INVOKE_PROPERTYGET, &get), S_OK);
    EXPECT_EQ(info2->GetFuncIndexOfMemId(13, INVOKE_PROPERTYPUT, &absent), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(info2->GetTypeKind(&kind), S_OK);
    EXPECT_EQ(std::tuple(put, get, kind), std::tuple(1u, 21u, TKIND_DISPATCH));
    BSTR help = nullptr;
    EXPECT_EQ(info2->GetDocumentation2(5, 0x0409, &help, nullptr, nullptr), S_OK);
    EXPECT_EQ(narrow(help), "method create_morvane");
    SysFreeString(help);
    VARIANT v{};
    EXPECT_EQ(info2->GetCustData(IID_NULL, &v), E_NOTIMPL);
    info2->Release();
}

// Descriptions share their library's life (the component holds a description alone).
TEST_F(ComponentLibrary, DescriptionsKeepTheirLibraryAliveAndAreTheSameObjects)
{
    ITypeInfo *first = nullptr;
    ASSERT_EQ(library_->GetTypeInfo(1, &first), S_OK);
    EXPECT_EQ(first, info_);
    first->Release();
    library_->Release();
    library_ = nullptr;
    ITypeLib *container = nullptr;
    ASSERT_EQ(info_->GetContainingTypeLib(&container, nullptr), S_OK);
    EXPECT_EQ(container->GetTypeInfoCount(), 3u);
    container->Release();
    void *nothing = reinterpret_cast<void *>(1);
    EXPECT_EQ(info_->QueryInterface(IID_IDispatch, &nothing), E_NOINTERFACE);
    EXPECT_EQ(nothing, nullptr);
}
