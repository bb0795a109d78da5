// Late-bound names, and failures while the type library is not registered.
#include "registered_module.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <string>
#include <vector>

// Present in a sanitizer's runtime, which keeps its own count of held memory.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

// The IDs a look-up gave, or its failure code alone.
std::vector<DISPID> look_up(IDispatch *dispatch, std::vector<std::u16string> request)
{
    std::vector<LPOLESTR> names;
    for (std::u16string &name : request)
        names.push_back(name.data());
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names.data(), UINT(names.size()), 0x0409, ids.data());
    return SUCCEEDED(hr) ? ids : std::vector<DISPID>{hr};
}

// The module's cache and the type information agree; a member's name is no parameter name.
TEST(Dispatch, NamesAnswerFromTheCacheAndTheTypeInformationAlike)
{
    morvane::test::RegisteredModule registered{MORVANE_MODULE_PATH};
    ASSERT_EQ(registered.registration(), S_OK);
    IMorvane *tracker = registered.module().create_tracker();
    ASSERT_NE(tracker, nullptr);
    const std::pair<std::vector<std::u16string>, std::vector<DISPID>> rows[] = {
        {{u"lines"}, {1}},
        {{u"LINES"}, {1}},
        {{u"match_residue"}, {13}},
        {{u"track_corners", u"features", u"IMGA"}, {4, 2, 0}},
        {{u"track_corners", u"lines"}, {DISP_E_UNKNOWNNAME}},
        {{u"line"}, {DISP_E_UNKNOWNNAME}},
        {{u"lines "}, {DISP_E_UNKNOWNNAME}},
    };
    for (const auto &[request, expected] : rows)
        EXPECT_EQ(look_up(tracker, request), expected) << std::string(request[0].begin(), request[0].end());
    EXPECT_EQ(tracker->GetIDsOfNames(IID_NULL, nullptr, 1, 0x0409, nullptr), E_POINTER);
    ITypeInfo *info = nullptr;
    ASSERT_EQ(tracker->GetTypeInfo(7, 0x0409, &info), S_OK) << "one type information for every index";
    info->Release();
    EXPECT_EQ(tracker->GetTypeInfo(0, 0x0409, nullptr), E_POINTER);
    tracker->Release();
}

std::size_t allocated_bytes()
{
    return __sanitizer_get_current_allocated_bytes ? __sanitizer_get_current_allocated_bytes() : mallinfo2().uordblks;
}

// Every call retries the load and fails alike without holding more memory; the table still works.
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
