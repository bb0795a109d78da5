// Structure sizes and field offsets that C clients and the C ABI depend on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

extern "C" size_t layout_c_size_of(int which);
extern "C" ULONG layout_c_add_ref(IUnknown *unknown);

TEST(Layout, AutomationStructuresHaveTheWindowsX64Layout)
{
    static_assert(std::is_trivially_copyable_v<VARIANT>);
    EXPECT_EQ(sizeof(VARIANT), 24u);
    EXPECT_EQ(offsetof(VARIANT, vt), 0u);
    EXPECT_EQ(offsetof(VARIANT, dblVal), 8u);
    EXPECT_EQ(offsetof(VARIANT, parray), 8u);
    EXPECT_EQ(offsetof(VARIANT, pRecInfo), 16u);
    EXPECT_EQ(sizeof(DECIMAL), 16u);
    EXPECT_EQ(sizeof(SAFEARRAY), 32u);
    EXPECT_EQ(offsetof(SAFEARRAY, cbElements), 4u);
    EXPECT_EQ(offsetof(SAFEARRAY, cLocks), 8u);
    EXPECT_EQ(offsetof(SAFEARRAY, pvData), 16u);
    EXPECT_EQ(offsetof(SAFEARRAY, rgsabound), 24u);
    EXPECT_EQ(sizeof(SAFEARRAYBOUND), 8u);
    EXPECT_EQ(sizeof(DISPPARAMS), 24u);
    EXPECT_EQ(sizeof(EXCEPINFO), 64u);
    EXPECT_EQ(offsetof(EXCEPINFO, scode), 56u);
}

TEST(Layout, KernelStructuresHaveTheWindowsX64Layout)
{
    EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
    EXPECT_EQ(sizeof(SYSTEM_INFO), 48u);
    EXPECT_EQ(offsetof(SYSTEM_INFO, dwNumberOfProcessors), 32u);
    EXPECT_EQ(sizeof(CRITICAL_SECTION), 40u);
    EXPECT_EQ(sizeof(GUID), 16u);
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(WCHAR), 2u);
    EXPECT_EQ(sizeof(HKEY), sizeof(void *));
}

TEST(Layout, CAndCppViewsAgree)
{
    EXPECT_EQ(layout_c_size_of(0), sizeof(VARIANT));
    EXPECT_EQ(layout_c_size_of(1), sizeof(SAFEARRAY));
    EXPECT_EQ(layout_c_size_of(2), sizeof(DISPPARAMS));
    EXPECT_EQ(layout_c_size_of(3), sizeof(EXCEPINFO));
    EXPECT_EQ(layout_c_size_of(4), sizeof(OSVERSIONINFOA));
    EXPECT_EQ(layout_c_size_of(5), sizeof(SYSTEM_INFO));
    EXPECT_EQ(layout_c_size_of(6), sizeof(CRITICAL_SECTION));
    EXPECT_EQ(layout_c_size_of(7), sizeof(DECIMAL));
}

namespace {
// A C++ object whose IUnknown table a C caller reaches by slot.
struct CountingObject : IUnknown {
    ULONG count = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
};
} // namespace

TEST(Layout, ACClientCallsACppObjectBySlot)
{
    CountingObject object;
    EXPECT_EQ(layout_c_add_ref(&object), 2u);
    EXPECT_EQ(object.count, 2u);
}

TEST(Layout, PredefinedRootsAreSignExtended)
{
    EXPECT_EQ(reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT), 0xFFFFFFFF80000000ull);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(HRESULT_FROM_WIN32(0), S_OK);
}
