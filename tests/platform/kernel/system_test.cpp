// Per-thread last error, and the fixed version given only to a structure of the right size.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

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
    // A refused structure is left alone; 148 bytes is the one size accepted.
    for (const DWORD size : {0u, 147u, 149u, 148u}) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = size;
        info.dwPlatformId = 77;
        info.szCSDVersion[0] = 'x';
        SetLastError(0);
        EXPECT_EQ(GetVersionExA(&info), size == 148) << size;
        EXPECT_EQ(GetLastError(), size == 148 ? 0u : DWORD(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(info.dwPlatformId, size == 148 ? DWORD(VER_PLATFORM_WIN32_NT) : 77u);
        // The platform's own version, not the kernel's release.
        const std::tuple<DWORD, DWORD, DWORD> platform{6, 1, 7601}, untouched{0, 0, 0};
        EXPECT_EQ(std::tuple(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber),
                  size == 148 ? platform : untouched);
        EXPECT_EQ(info.szCSDVersion[0], size == 148 ? '\0' : 'x');
    }
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}
