// Layouts are checked where the C view compiles (a C client calling C++ objects by slot is the
// integration client's); here what C++ adds and what only runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <type_traits>

static_assert(std::is_trivially_copyable_v<VARIANT>);

TEST(Layout, PredefinedRootsAreSignExtended)
{
    EXPECT_EQ(reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT), 0xFFFFFFFF80000000ull);
}
