// The system version: an NT-family system whose major, minor and build numbers
// are those of the running kernel's release ("6.1.12-..." gives 6, 1, 12).
#include <winbase.h>

#include <cctype>
#include <cstring>

#include <sys/utsname.h>

namespace {

// Reads the decimal number at `text` and steps past it and one following '.'.
DWORD read_release_number(const char *&text)
{
    DWORD value = 0;
    while (std::isdigit(static_cast<unsigned char>(*text)) != 0) {
        value = value * 10 + DWORD(*text - '0');
        ++text;
    }
    if (*text == '.')
        ++text;
    return value;
}

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
    utsname system{};
    if (uname(&system) != 0)
        std::strcpy(system.release, "0");
    const char *release = system.release;
    lpVersionInformation->dwMajorVersion = read_release_number(release);
    lpVersionInformation->dwMinorVersion = read_release_number(release);
    lpVersionInformation->dwBuildNumber = read_release_number(release);
    lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    return TRUE;
}
