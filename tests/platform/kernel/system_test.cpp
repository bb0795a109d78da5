// Per-thread last error and the version structure's size check.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(LastError, EachThreadHasItsOwn)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    DWORD seen_at_start = 1, seen_after_failure = 0;
    std::thread([&] {
        seen_at_start = GetLastError();
        HeapAlloc(nullptr, 0, 8);
        seen_after_failure = GetLastError();
    }).join();
    EXPECT_EQ(seen_at_start, DWORD(ERROR_SUCCESS));
    EXPECT_EQ(seen_after_failure, DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(Version, FillsOnlyAStructureOfTheRightSize)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
    for (const DWORD size : {0u, 147u, 149u}) {
        OSVERSIONINFOA refused{};
        refused.dwOSVersionInfoSize = size;
        refused.dwMajorVersion = 77;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExA(&refused)) << size;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(refused.dwMajorVersion, 77u) << "a refused structure is left alone";
    }
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

} // namespace
