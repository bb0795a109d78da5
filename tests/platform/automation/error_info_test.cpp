// Error records: the record object's fields, and each thread's current record.
#include "counting_objects.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {
const GUID some_interface = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

std::u16string take(BSTR s)
{
    std::u16string text = s == nullptr ? u"<null>" : std::u16string(s, SysStringLen(s));
    SysFreeString(s);
    return text;
}

// Leaves the calling thread without a record.
void drop_current_record()
{
    IErrorInfo *left = nullptr;
    if (GetErrorInfo(0, &left) == S_OK)
        left->Release();
}
} // namespace

TEST(ErrorRecord, OneObjectAnswersAllThreeInterfaces)
{
    ICreateErrorInfo *create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    ASSERT_NE(create, nullptr);
    IErrorInfo *info = nullptr;
    ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)), S_OK);
    IUnknown *from_create = nullptr, *from_info = nullptr;
    ASSERT_EQ(create->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&from_create)), S_OK);
    ASSERT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&from_info)), S_OK);
    EXPECT_EQ(from_create, from_info);
    ICreateErrorInfo *back = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_ICreateErrorInfo, reinterpret_cast<void **>(&back)), S_OK);
    EXPECT_EQ(back, create);

    void *other = &other;
    EXPECT_EQ(info->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(info->QueryInterface(IID_IErrorInfo, nullptr), E_POINTER);

    // Five references now; the object goes away with the last (the sanitizer build checks).
    back->Release();
    from_info->Release();
    from_create->Release();
    info->Release();
    EXPECT_EQ(create->Release(), 0u);
    EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
}

// Fields set and read back are also checked through Invoke's exception information.
TEST(ErrorRecord, FreshFieldsNullAndEmptyTextsAndNullArguments)
{
    ICreateErrorInfo *create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    IErrorInfo *info = nullptr;
    ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)), S_OK);
    GUID guid = some_interface;
    EXPECT_EQ(info->GetGUID(&guid), S_OK);
    EXPECT_TRUE(IsEqualGUID(guid, GUID_NULL));
    BSTR text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(info->GetHelpFile(&text), S_OK);
    EXPECT_EQ(text, nullptr);

    EXPECT_EQ(create->SetGUID(some_interface), S_OK);
    EXPECT_EQ(info->GetGUID(&guid), S_OK);
    EXPECT_TRUE(IsEqualGUID(guid, some_interface));
    EXPECT_EQ(create->SetSource(const_cast<LPOLESTR>(u"x")), S_OK);
    EXPECT_EQ(create->SetSource(nullptr), S_OK); // replaces, and null stays null
    ASSERT_EQ(info->GetSource(&text), S_OK);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(create->SetDescription(const_cast<LPOLESTR>(u"")), S_OK);
    BSTR first = nullptr, second = nullptr; // each reader gets a string of its own
    ASSERT_EQ(info->GetDescription(&first), S_OK);
    ASSERT_EQ(info->GetDescription(&second), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(take(first), u"");
    SysFreeString(second);

    EXPECT_EQ(info->GetGUID(nullptr), E_INVALIDARG);
    EXPECT_EQ(info->GetSource(nullptr), E_INVALIDARG);
    EXPECT_EQ(info->GetDescription(nullptr), E_INVALIDARG);
    EXPECT_EQ(info->GetHelpFile(nullptr), E_INVALIDARG);
    EXPECT_EQ(info->GetHelpContext(nullptr), E_INVALIDARG);
    info->Release();
    create->Release();
}

TEST(ThreadErrorRecord, IsHandedOverOnce)
{
    CountingErrorInfo record;
    ASSERT_EQ(SetErrorInfo(0, &record), S_OK);
    EXPECT_EQ(record.references, 2u);

    IErrorInfo *out = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &out), S_OK);
    EXPECT_EQ(out, &record);
    EXPECT_EQ(record.references, 2u); // the thread's reference now belongs to the caller
    out->Release();

    out = &record;
    EXPECT_EQ(GetErrorInfo(0, &out), S_FALSE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(record.references, 1u);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

TEST(ThreadErrorRecord, SettingReplacesAndNullClears)
{
    CountingErrorInfo first, second;
    ASSERT_EQ(SetErrorInfo(0, &first), S_OK);
    ASSERT_EQ(SetErrorInfo(0, &second), S_OK);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(second.references, 2u);
    ASSERT_EQ(SetErrorInfo(0, &second), S_OK); // setting the same record again keeps it alive
    EXPECT_EQ(second.references, 2u);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(second.references, 1u);
    IErrorInfo *out = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &out), S_FALSE);
}

TEST(ThreadErrorRecord, CreatedRecordSurvivesTheHandOver)
{
    ICreateErrorInfo *create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetDescription(const_cast<LPOLESTR>(u"Match residue not computed."));
    IErrorInfo *info = nullptr;
    ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)), S_OK);
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release();
    create->Release(); // the thread holds the only reference now

    IErrorInfo *out = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &out), S_OK);
    BSTR text = nullptr;
    ASSERT_EQ(out->GetDescription(&text), S_OK);
    EXPECT_EQ(take(text), u"Match residue not computed.");
    out->Release();
}

TEST(ThreadErrorRecord, IsNeverSeenOnAnotherThread)
{
    drop_current_record();
    CountingErrorInfo mine, theirs;
    ASSERT_EQ(SetErrorInfo(0, &mine), S_OK);

    HRESULT seen_there = E_FAIL;
    IErrorInfo *found_there = &mine;
    std::thread other([&] {
        seen_there = GetErrorInfo(0, &found_there);
        SetErrorInfo(0, &theirs);
        IErrorInfo *back = nullptr;
        if (GetErrorInfo(0, &back) == S_OK) {
            EXPECT_EQ(back, &theirs);
            back->Release();
        }
        SetErrorInfo(0, &theirs); // left behind when the thread ends
    });
    other.join();
    EXPECT_EQ(seen_there, S_FALSE);
    EXPECT_EQ(found_there, nullptr);

    // The other thread's record did not replace this thread's, and was released when it ended.
    EXPECT_EQ(theirs.references, 1u);
    IErrorInfo *out = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &out), S_OK);
    EXPECT_EQ(out, &mine);
    out->Release();
    EXPECT_EQ(mine.references, 1u);
}

TEST(ThreadErrorRecord, ReservedArgumentMustBeZero)
{
    CountingErrorInfo record;
    EXPECT_EQ(SetErrorInfo(1, &record), E_INVALIDARG);
    EXPECT_EQ(record.references, 1u);
    IErrorInfo *out = nullptr;
    EXPECT_EQ(GetErrorInfo(1, &out), E_INVALIDARG);
}
