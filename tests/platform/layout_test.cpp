// Structure layouts that C clients and the C ABI depend on are checked when this
// file compiles (and in layout_c.c for C); at run time a C caller reaches a C++
// object through its table.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

extern "C" ULONG layout_c_add_ref(IUnknown *unknown);

static_assert(std::is_trivially_copyable_v<VARIANT>);
static_assert(sizeof(VARIANT) == 24 && offsetof(VARIANT, dblVal) == 8 && offsetof(VARIANT, parray) == 8 &&
              offsetof(VARIANT, pRecInfo) == 16);
static_assert(sizeof(DECIMAL) == 16 && sizeof(SAFEARRAYBOUND) == 8 && sizeof(DISPPARAMS) == 24);
static_assert(sizeof(SAFEARRAY) == 32 && offsetof(SAFEARRAY, cbElements) == 4 && offsetof(SAFEARRAY, cLocks) == 8 &&
              offsetof(SAFEARRAY, pvData) == 16 && offsetof(SAFEARRAY, rgsabound) == 24);
static_assert(sizeof(EXCEPINFO) == 64 && offsetof(EXCEPINFO, scode) == 56);
static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(CRITICAL_SECTION) == 40);
static_assert(sizeof(SYSTEM_INFO) == 48 && offsetof(SYSTEM_INFO, dwNumberOfProcessors) == 32);
static_assert(sizeof(GUID) == 16 && sizeof(LONG) == 4 && sizeof(DWORD) == 4 && sizeof(WCHAR) == 2);
static_assert(sizeof(HKEY) == sizeof(void *));

namespace {
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
