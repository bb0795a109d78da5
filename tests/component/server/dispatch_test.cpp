// Late-bound access to IMorvane: names from the module's cache and from the
// type information, and failures while the type library is not registered.
#include "registered_module.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cctype>
#include <string>
#include <vector>

// Present in a sanitizer's runtime, which keeps its own count of held memory.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

// The IDs a look-up gave, or its failure code alone.
template <typename LookUp>
std::vector<DISPID> ids_of(std::vector<std::u16string> request, LookUp look_up)
{
    std::vector<LPOLESTR> names;
    for (std::u16string &name : request)
        names.push_back(name.data());
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    const HRESULT hr = look_up(names.data(), UINT(names.size()), ids.data());
    return SUCCEEDED(hr) ? ids : std::vector<DISPID>{hr};
}

std::vector<DISPID> look_up(IDispatch *dispatch, std::vector<std::u16string> request)
{
    return ids_of(std::move(request), [dispatch](LPOLESTR *names, UINT count, DISPID *ids) {
        return dispatch->GetIDsOfNames(IID_NULL, names, count, 0x0409, ids);
    });
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

std::u16string upper(std::u16string name)
{
    for (char16_t &c : name)
        c = c < 128 ? static_cast<char16_t>(std::toupper(c)) : c;
    return name;
}

// Whatever the module's own name cache answers must be what the type
// information answers, for every member with every name, in either case: a
// member's name given as a parameter, for one, is no parameter.
TEST_F(Dispatch, EveryNameLookUpAnswersAsTheTypeInformation)
{
    ITypeInfo *info = nullptr;
    ASSERT_EQ(tracker->GetTypeInfo(7, 0x0409, &info), S_OK) << "one type information for every index";
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    std::vector<std::u16string> members, every_name;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC *func = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 16, &count);
        for (UINT n = 0; n < count; ++n) {
            every_name.emplace_back(names[n]);
            SysFreeString(names[n]);
        }
        members.push_back(every_name[every_name.size() - count]);
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    ASSERT_GE(members.size(), 20u);
    for (const auto &member : members)
        for (const auto &name : every_name)
            for (const bool capitals : {false, true})
                for (auto request : {std::vector{name}, std::vector{member, name}}) {
                    for (auto &n : request)
                        n = capitals ? upper(n) : n;
                    const auto expected = ids_of(request, [info](LPOLESTR *names, UINT count, DISPID *ids) {
                        return info->GetIDsOfNames(names, count, ids);
                    });
                    EXPECT_EQ(look_up(tracker, request), expected)
                        << std::string(request[0].begin(), request[0].end()) << ", "
                        << std::string(request.back().begin(), request.back().end());
                }
    info->Release();
    EXPECT_EQ(look_up(tracker, {u"track_corners", u"lines"}), std::vector<DISPID>{DISP_E_UNKNOWNNAME});
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, nullptr), E_POINTER);
}

std::size_t allocated_bytes()
{
    return __sanitizer_get_current_allocated_bytes ? __sanitizer_get_current_allocated_bytes() : mallinfo2().uordblks;
}

// Without a registered type library every call tries the load again, fails
// the same way each time without holding more memory, and the table still works.
TEST(DispatchUnregistered, FailsWhileTheTableStillWorks)
{
    morvane::test::ScratchRegistry registry;
    morvane::test::LoadedModule module(MORVANE_MODULE_PATH);
    IMorvane *tracker = module.create_tracker();
    ASSERT_NE(tracker, nullptr);
    ITypeInfo *info = reinterpret_cast<ITypeInfo *>(1);
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, &info), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(info, nullptr);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(look_up(tracker, {u"lines"}), std::vector<DISPID>{TYPE_E_LIBNOTREGISTERED});
    const std::size_t before = allocated_bytes();
    for (int i = 0; i < 20000; ++i)
        look_up(tracker, {u"lines"});
    // 20000 kept entries of even 16 bytes would hold 320 kB.
    EXPECT_LT(allocated_bytes(), before + 64 * 1024);
    EXPECT_EQ(tracker->create_morvane(), S_OK);
    EXPECT_EQ(tracker->Release(), 0u);
}

} // namespace
