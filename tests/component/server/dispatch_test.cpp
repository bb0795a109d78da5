// Late-bound access to IMorvane: names from the cache and from the type
// information, calls by dispatch ID with converted arguments, failures reported
// as through the table, and failures when the type library is not registered.
#include "registered_module.h"

#include <gtest/gtest.h>

#include <string>

namespace {

DISPID id_of(IDispatch *dispatch, const char16_t *name, HRESULT *result = nullptr)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id);
    if (result)
        *result = hr;
    return id;
}

// Writes a property by dispatch ID.
HRESULT put(IMorvane *tracker, DISPID id, VARIANT value, EXCEPINFO *exception = nullptr)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS arguments{&value, &named, 1, 1};
    return tracker->Invoke(id, IID_NULL, 0x0409, DISPATCH_PROPERTYPUT, &arguments, nullptr, exception, nullptr);
}

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(registered.registration(), S_OK);
        tracker = registered.module().create_tracker();
        ASSERT_NE(tracker, nullptr);
    }
    void TearDown() override
    {
        if (tracker)
            tracker->Release();
    }

    morvane::test::RegisteredModule registered{MORVANE_MODULE_PATH};
    IMorvane *tracker = nullptr;
};

TEST_F(Dispatch, OneTypeInformationForEveryIndex)
{
    UINT count = 0;
    EXPECT_EQ(tracker->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo *first = nullptr;
    ITypeInfo *other = nullptr;
    ASSERT_EQ(tracker->GetTypeInfo(0, 0x0409, &first), S_OK);
    ASSERT_EQ(tracker->GetTypeInfo(7, 0x0409, &other), S_OK);
    EXPECT_EQ(first, other);
    TYPEATTR *attributes = nullptr;
    ASSERT_EQ(first->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_IMorvane));
    first->ReleaseTypeAttr(attributes);
    first->Release();
    other->Release();
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, nullptr), E_POINTER);
}

TEST_F(Dispatch, NamesResolveExactlyAndWithoutRegardToCase)
{
    EXPECT_EQ(id_of(tracker, u"lines"), 1);
    EXPECT_EQ(id_of(tracker, u"track_corners"), 4);
    EXPECT_EQ(id_of(tracker, u"match_residue"), 13);
    EXPECT_EQ(id_of(tracker, u"LINES"), 1) << "resolved by the type information";

    LPOLESTR names[] = {const_cast<LPOLESTR>(u"track_corners"), const_cast<LPOLESTR>(u"imgB")};
    DISPID ids[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};
    EXPECT_EQ(tracker->GetIDsOfNames(IID_NULL, names, 2, 0x0409, ids), S_OK);
    EXPECT_EQ(ids[0], 4);
    EXPECT_EQ(ids[1], 1) << "imgB is the second parameter";

    HRESULT result = S_OK;
    id_of(tracker, u"no_such_member", &result);
    EXPECT_EQ(result, DISP_E_UNKNOWNNAME);
}

TEST_F(Dispatch, InvokeReachesTheMembersByDispatchId)
{
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 240;
    EXPECT_EQ(put(tracker, 1, number), S_OK);
    LONG lines = 0;
    tracker->get_lines(&lines);
    EXPECT_EQ(lines, 240);

    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(tracker->Invoke(2, IID_NULL, 0x0409, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 192);

    // A string argument is converted to the declared type.
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"320");
    EXPECT_EQ(put(tracker, 2, text), S_OK);
    VariantClear(&text);
    LONG columns = 0;
    tracker->get_columns(&columns);
    EXPECT_EQ(columns, 320);

    EXPECT_EQ(tracker->Invoke(5, IID_NULL, 0x0409, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK)
        << "create_morvane by dispatch ID";
}

TEST_F(Dispatch, AFailingMemberFailsAsThroughTheTable)
{
    VARIANT zero;
    VariantInit(&zero);
    zero.vt = VT_I4;
    zero.lVal = 0;
    EXCEPINFO exception{};
    EXPECT_EQ(put(tracker, 1, zero, &exception), E_INVALIDARG);
    ASSERT_NE(exception.bstrDescription, nullptr);
    EXPECT_EQ(std::u16string(exception.bstrDescription), u"Number of lines must be a positive integer");
    ASSERT_NE(exception.bstrSource, nullptr);
    EXPECT_EQ(std::u16string(exception.bstrSource), u"Morvane.CoMorvane.1");
    EXPECT_EQ(exception.scode, E_INVALIDARG);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);

    IErrorInfo *record = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &record), S_OK);
    BSTR description = nullptr;
    record->GetDescription(&description);
    EXPECT_EQ(std::u16string(description), u"Number of lines must be a positive integer");
    GUID guid{};
    record->GetGUID(&guid);
    EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL));
    SysFreeString(description);
    record->Release();

    LONG lines = 0;
    tracker->get_lines(&lines);
    EXPECT_EQ(lines, 144);
}

TEST(DispatchUnregistered, FailsWhileTheTableStillWorks)
{
    morvane::test::ScratchRegistry registry;
    morvane::test::LoadedModule module(MORVANE_MODULE_PATH);
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    for (int attempt = 0; attempt < 2; ++attempt) {
        HRESULT result = S_OK;
        id_of(tracker, u"lines", &result);
        EXPECT_EQ(result, TYPE_E_LIBNOTREGISTERED) << "every call tries the load again";
    }
    ITypeInfo *info = reinterpret_cast<ITypeInfo *>(1);
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, &info), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(tracker->create_morvane(), S_OK);
    EXPECT_EQ(tracker->Release(), 0u);
}

} // namespace
