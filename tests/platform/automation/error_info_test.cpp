// Error records: the record object's fields, and each thread's current record.
#include "counting_objects.h"

#include <gtest/gtest.h>

#include <thread>

template <typename T>
static T *query(IUnknown *object, REFIID iid)
{
    void *out = nullptr;
    EXPECT_EQ(object->QueryInterface(iid, &out), S_OK);
    return static_cast<T *>(out);
}

TEST(ErrorRecord, OneObjectWithFreshFieldsAndRefusals)
{
    ICreateErrorInfo *create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    auto *info = query<IErrorInfo>(create, IID_IErrorInfo);
    auto *from_create = query<IUnknown>(create, IID_IUnknown), *from_info = query<IUnknown>(info, IID_IUnknown);
    auto *back = query<ICreateErrorInfo>(info, IID_ICreateErrorInfo);
    EXPECT_EQ(std::pair(from_create, back), std::pair(from_info, create));
    void *other = &other;
    EXPECT_EQ(info->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    BSTR file = reinterpret_cast<BSTR>(1), source = file;
    EXPECT_EQ(create->SetSource(const_cast<LPOLESTR>(u"x")), S_OK);
    EXPECT_EQ(create->SetSource(nullptr), S_OK); // replaces, and null stays null
    ASSERT_EQ(info->GetHelpFile(&file), S_OK);
    ASSERT_EQ(info->GetSource(&source), S_OK);
    EXPECT_EQ(std::pair(file, source), std::pair(BSTR(nullptr), BSTR(nullptr)));
    EXPECT_EQ(create->SetDescription(const_cast<LPOLESTR>(u"")), S_OK);
    BSTR first = nullptr, second = nullptr; // each reader gets a string of its own
    ASSERT_EQ(info->GetDescription(&first), S_OK);
    ASSERT_EQ(info->GetDescription(&second), S_OK);
    EXPECT_EQ(std::pair(first != second, SysStringLen(first)), std::pair(true, 0u));
    SysFreeString(first);
    SysFreeString(second);

    const HRESULT refusals[] = {CreateErrorInfo(nullptr), info->GetGUID(nullptr), info->GetSource(nullptr),
                                info->GetDescription(nullptr), info->GetHelpFile(nullptr),
                                info->GetHelpContext(nullptr), info->QueryInterface(IID_IErrorInfo, nullptr)};
    for (const HRESULT &hr : refusals)
        EXPECT_EQ(hr, &hr == &refusals[6] ? E_POINTER : E_INVALIDARG) << "row " << &hr - refusals;
    // Five references now; the object goes away with the last (the sanitizer build checks).
    for (IUnknown *held : {static_cast<IUnknown *>(back), from_info, from_create, static_cast<IUnknown *>(info)})
        held->Release();
    EXPECT_EQ(create->Release(), 0u);
}

TEST(ThreadErrorRecord, IsHandedOverOnceReplacedAndCleared)
{
    CountingErrorInfo first, second;
    IErrorInfo *out = nullptr;
    for (const HRESULT refused : {SetErrorInfo(1, &first), GetErrorInfo(1, &out), GetErrorInfo(0, nullptr)})
        EXPECT_EQ(refused, E_INVALIDARG);
    ASSERT_EQ(SetErrorInfo(0, &first), S_OK);
    ASSERT_EQ(SetErrorInfo(0, &second), S_OK);
    ASSERT_EQ(SetErrorInfo(0, &second), S_OK); // setting the same record again keeps it alive
    EXPECT_EQ(std::pair(first.references.load(), second.references.load()), std::pair(1u, 2u));
    ASSERT_EQ(GetErrorInfo(0, &out), S_OK); // the thread's reference now belongs to the caller
    EXPECT_EQ(std::pair(out == &second, second.references.load()), std::pair(true, 2u));
    out->Release();
    out = &second;
    EXPECT_EQ(GetErrorInfo(0, &out), S_FALSE);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(SetErrorInfo(0, &first), S_OK);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(GetErrorInfo(0, &out), S_FALSE);

    // Each thread has its own record; one left behind is released when its thread ends.
    ASSERT_EQ(SetErrorInfo(0, &first), S_OK);
    HRESULT seen_there = E_FAIL;
    std::thread([&] {
        seen_there = GetErrorInfo(0, &out);
        SetErrorInfo(0, &second);
    }).join();
    EXPECT_EQ(std::pair(seen_there, second.references.load()), std::pair(S_FALSE, 1u));
    ASSERT_EQ(GetErrorInfo(0, &out), S_OK);
    EXPECT_EQ(out, &first);
    out->Release();
}
