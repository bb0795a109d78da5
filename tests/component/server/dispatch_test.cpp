// Late-bound access to IMorvane: names from the cache and from the type
// information, calls by dispatch ID with converted arguments, failures reported
// as through the table, and failures when the type library is not registered.
#include "registered_module.h"

#include <gtest/gtest.h>

#include <string>
#include <malloc.h>

#include <cctype>
#include <ostream>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DISPATCH_NAMES_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define DISPATCH_NAMES_ASAN 1
#endif
#ifdef DISPATCH_NAMES_ASAN
#include <sanitizer/allocator_interface.h>
#endif

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

// Name look-ups: whatever the module's own name cache answers must be what the type
// information answers, and failing look-ups must not make the module hold more memory.
std::size_t allocated_bytes()
{
#ifdef DISPATCH_NAMES_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

std::u16string upper(std::u16string name)
{
    for (char16_t &c : name)
        if (c < 128)
            c = static_cast<char16_t>(std::toupper(static_cast<int>(c)));
    return name;
}

// Every member name, each followed by its parameters' names, as the type information gives them.
std::vector<std::vector<std::u16string>> members_with_parameters(ITypeInfo *info)
{
    std::vector<std::vector<std::u16string>> members;
    TYPEATTR *attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)))
        return members;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC *func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func)))
            continue;
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 16, &count);
        std::vector<std::u16string> member;
        for (UINT n = 0; n < count; ++n) {
            member.emplace_back(names[n]);
            SysFreeString(names[n]);
        }
        members.push_back(member);
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    return members;
}

struct Answer {
    HRESULT result;
    std::vector<DISPID> ids;
    bool operator==(const Answer &) const = default;
};

void PrintTo(const Answer &a, std::ostream *out)
{
    *out << std::hex << "0x" << static_cast<unsigned>(a.result) << std::dec;
    for (DISPID id : a.ids)
        *out << ' ' << id;
}

template <typename Lookup>
Answer answer(const std::vector<std::u16string> &request, Lookup lookup)
{
    std::vector<LPOLESTR> names;
    for (const std::u16string &name : request)
        names.push_back(const_cast<LPOLESTR>(name.c_str()));
    Answer out{E_FAIL, std::vector<DISPID>(request.size(), DISPID_UNKNOWN)};
    out.result = lookup(names.data(), static_cast<UINT>(names.size()), out.ids.data());
    if (FAILED(out.result))
        out.ids.clear();
    return out;
}

TEST_F(Dispatch, EveryNameLookUpAnswersAsTheTypeInformation)
{
    ITypeInfo *info = nullptr;
    ASSERT_EQ(tracker->GetTypeInfo(0, 0x0409, &info), S_OK);
    const auto members = members_with_parameters(info);
    ASSERT_GE(members.size(), 20u);

    std::vector<std::u16string> every_name;
    for (const auto &member : members)
        every_name.insert(every_name.end(), member.begin(), member.end());
    for (const auto &member : members) {
        for (const std::u16string &name : every_name) {
            for (const bool capitals : {false, true}) {
                const auto spelt = [&](const std::u16string &n) { return capitals ? upper(n) : n; };
                for (const auto &request : {std::vector{spelt(name)}, std::vector{spelt(member[0]), spelt(name)}}) {
                    const Answer from_tracker = answer(request, [&](LPOLESTR *names, UINT count, DISPID *ids) {
                        return tracker->GetIDsOfNames(IID_NULL, names, count, 0x0409, ids);
                    });
                    const Answer from_type_info = answer(request, [&](LPOLESTR *names, UINT count, DISPID *ids) {
                        return info->GetIDsOfNames(names, count, ids);
                    });
                    EXPECT_EQ(from_tracker, from_type_info)
                        << std::string(request[0].begin(), request[0].end()) << ", "
                        << std::string(request.back().begin(), request.back().end());
                }
            }
        }
    }
    info->Release();

    // The case that went wrong: a member name given as a parameter.
    char16_t member[] = u"track_corners", parameter[] = u"lines";
    LPOLESTR request[] = {member, parameter};
    DISPID ids[2] = {};
    EXPECT_EQ(tracker->GetIDsOfNames(IID_NULL, request, 2, 0x0409, ids), DISP_E_UNKNOWNNAME);
}

// Without a registered type library every dispatch call tries the load again;
// that must not leave something behind each time.
TEST(DispatchWithoutTypeLibrary, FailedLoadsDoNotAccumulate)
{
    morvane::test::ScratchRegistry registry;
    morvane::test::LoadedModule module(MORVANE_MODULE_PATH);
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    char16_t name[] = u"lines";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    const auto fail_many = [&](int calls) {
        for (int i = 0; i < calls; ++i)
            ASSERT_TRUE(FAILED(tracker->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id)));
    };
    fail_many(100);
    const std::size_t before = allocated_bytes();
    fail_many(20000);
    const std::size_t after = allocated_bytes();
    // 20000 kept entries of even 16 bytes would hold 320 kB.
    EXPECT_LT(after, before + 64 * 1024) << "grew by " << (after - before) << " bytes";
    tracker->Release();
}

} // namespace
