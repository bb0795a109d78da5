// Layouts are checked where the C view compiles; here a C caller reaches a C++ object by its slot.
#include "../support/counting_objects.h"

#include <gtest/gtest.h>

#include <type_traits>

extern "C" ULONG layout_c_add_ref(IUnknown *unknown);

static_assert(std::is_trivially_copyable_v<VARIANT>);

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
