// Calls by dispatch ID through IDispatch::Invoke: arguments converted to the
// declared types, results returned, and failures reported as through the table.
#include "dispatch_fixture.h"

#include <string>

namespace {

TEST_F(Dispatch, InvokeReachesTheMembersByDispatchId)
{
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = 240;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&argument, &named, 1, 1};
    EXPECT_EQ(tracker->Invoke(1, IID_NULL, 0x0409, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                              nullptr), S_OK);
    LONG lines = 0;
    tracker->get_lines(&lines);
    EXPECT_EQ(lines, 240);

    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(tracker->Invoke(2, IID_NULL, 0x0409, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                              nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 192);

    // A string argument is converted to the declared type.
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"320");
    DISPPARAMS put_text{&text, &named, 1, 1};
    EXPECT_EQ(tracker->Invoke(2, IID_NULL, 0x0409, DISPATCH_PROPERTYPUT, &put_text, nullptr,
                              nullptr, nullptr), S_OK);
    VariantClear(&text);
    LONG columns = 0;
    tracker->get_columns(&columns);
    EXPECT_EQ(columns, 320);

    EXPECT_EQ(tracker->Invoke(5, IID_NULL, 0x0409, DISPATCH_METHOD, &none, nullptr, nullptr,
                              nullptr), S_OK) << "create_morvane by dispatch ID";
}

TEST_F(Dispatch, AFailingMemberFailsAsThroughTheTable)
{
    VARIANT zero;
    VariantInit(&zero);
    zero.vt = VT_I4;
    zero.lVal = 0;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&zero, &named, 1, 1};
    EXCEPINFO exception{};
    const HRESULT result = tracker->Invoke(1, IID_NULL, 0x0409, DISPATCH_PROPERTYPUT, &put,
                                           nullptr, &exception, nullptr);
    EXPECT_EQ(result, E_INVALIDARG);
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

} // namespace
