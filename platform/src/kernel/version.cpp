// The system version: one fixed version of the platform itself, the same on every
// host, so that nothing built on the platform behaves differently by the kernel
// it happens to run on.
#include <winbase.h>

#include <cstring>

namespace {

// An NT-family system of major version 5 or later, as winbase.h documents.
constexpr DWORD platform_major_version = 6;
constexpr DWORD platform_minor_version = 1;
constexpr DWORD platform_build_number = 7601;

} // namespace

EXTERN_C BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation)
{
    if (lpVersionInformation == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lpVersionInformation->dwMajorVersion = platform_major_version;
    lpVersionInformation->dwMinorVersion = platform_minor_version;
    lpVersionInformation->dwBuildNumber = platform_build_number;
    lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    return TRUE;
}
