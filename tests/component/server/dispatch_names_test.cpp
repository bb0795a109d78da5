// Name look-ups through the tracker's dispatch members: whatever the module's
// own name cache answers must be what the type information answers, and
// failing look-ups must not make the module hold more memory with each call.
#include "dispatch_fixture.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cctype>
#include <ostream>
#include <string>
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
    scratch_registry registry;
    loaded_module module;
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
