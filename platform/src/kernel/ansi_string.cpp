// Lengths and bounded copies of zero-terminated strings.
#include <winbase.h>

#include <cstring>
#include <string>

EXTERN_C int lstrlenA(LPCSTR lpString)
{
    return lpString == nullptr ? 0 : static_cast<int>(std::strlen(lpString));
}

EXTERN_C int lstrlenW(LPCWSTR lpString)
{
    return lpString == nullptr ? 0 : static_cast<int>(std::char_traits<WCHAR>::length(lpString));
}

// Copies at most iMaxLength - 1 bytes and always terminates the copy; reads the
// source no further than that, so it need not be terminated within the limit.
EXTERN_C LPSTR lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
    if (lpString1 == nullptr || lpString2 == nullptr || iMaxLength < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (iMaxLength == 0)
        return lpString1;
    int copied = 0;
    while (copied + 1 < iMaxLength && lpString2[copied] != '\0') {
        lpString1[copied] = lpString2[copied];
        ++copied;
    }
    lpString1[copied] = '\0';
    return lpString1;
}
