// The version and system information describe the machine the tests run on.
#include <windows.h>

#include <gtest/gtest.h>

#include <bitset>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <memory>

#include <sys/utsname.h>
#include <unistd.h>

namespace {

TEST(Version, ReportsAnNtSystemWithTheKernelRelease)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    std::memset(info.szCSDVersion, 'x', sizeof info.szCSDVersion);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
    EXPECT_EQ(info.szCSDVersion[0], '\0');

    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_GE(std::sscanf(system.release, "%u.%u.%u", &major, &minor, &patch), 2) << system.release;
    EXPECT_EQ(info.dwMajorVersion, major);
    EXPECT_EQ(info.dwMinorVersion, minor);
    EXPECT_EQ(info.dwBuildNumber, patch);
}

TEST(Version, RefusesAStructureOfTheWrongSize)
{
    for (const DWORD size : {0u, 147u, 149u, 156u, 0xFFFFFFFFu}) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = size;
        info.dwMajorVersion = 77;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExA(&info)) << size;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_EQ(info.dwMajorVersion, 77u) << "a refused structure is left alone";
    }
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(SystemInfo, DescribesThisMachine)
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, DWORD(sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_EQ(info.dwPageSize, DWORD(sysconf(_SC_PAGESIZE)));
    if (info.dwNumberOfProcessors <= 64) {
        EXPECT_EQ(std::bitset<64>(info.dwActiveProcessorMask).count(), info.dwNumberOfProcessors);
    }
#if defined(__x86_64__)
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(info.dwProcessorType, DWORD(PROCESSOR_AMD_X8664));
    EXPECT_GE(info.wProcessorLevel, 6);
#elif defined(__aarch64__)
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_ARM64);
#endif

    // Memory this process really uses lies within the reported range.
    const auto low = reinterpret_cast<std::uintptr_t>(info.lpMinimumApplicationAddress);
    const auto high = reinterpret_cast<std::uintptr_t>(info.lpMaximumApplicationAddress);
    const auto heap_object = std::make_unique<int>(1);
    int stack_object = 0;
    for (const void *address : {static_cast<const void *>(heap_object.get()), static_cast<const void *>(&stack_object),
                                reinterpret_cast<const void *>(&GetSystemInfo)}) {
        EXPECT_GE(reinterpret_cast<std::uintptr_t>(address), low);
        EXPECT_LE(reinterpret_cast<std::uintptr_t>(address), high);
    }
    EXPECT_GT(info.dwAllocationGranularity, 0u);
    EXPECT_EQ(info.dwAllocationGranularity % info.dwPageSize, 0u);
}

} // namespace
