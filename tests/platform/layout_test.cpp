// Layouts the C ABI depends on, checked when this compiles; a C caller reaches a C++ object.
#include "../support/counting_objects.h"

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
static_assert(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) == HRESULT(0x80070002) && HRESULT_FROM_WIN32(0) == S_OK);

TEST(Layout, ACClientCallsACppObjectBySlot)
{
    CountingUnknown object;
    EXPECT_EQ(layout_c_add_ref(&object), 2u);
    EXPECT_EQ(object.references, 2u);
}

TEST(Layout, PredefinedRootsAreSignExtended)
{
    EXPECT_EQ(reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT), 0xFFFFFFFF80000000ull);
}
