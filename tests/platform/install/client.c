/* A C client built only from the installed headers and library: a private heap,
 * UTF-8 to UTF-16 and back, a critical section and the thread's last error. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static int failed(const char *what)
{
    fprintf(stderr, "client: %s failed\n", what);
    return 1;
}

int main(void)
{
    static const char text[] = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80";
    HANDLE heap = HeapCreate(0, 0, 0);
    /* "Grüße " is 6 units, the emoji a surrogate pair, then the terminator. */
    int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, NULL, 0);
    if (units != 9)
        return failed("MultiByteToWideChar (size)");
    WCHAR *wide = (WCHAR *)HeapAlloc(heap, HEAP_ZERO_MEMORY, (SIZE_T)units * sizeof(WCHAR));
    if (wide == NULL || MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, units) != units || wide[2] != 0x00FC ||
        wide[6] != 0xD83D || wide[7] != 0xDE00 || lstrlenW(wide) != 8)
        return failed("MultiByteToWideChar");

    char back[sizeof text];
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, back, (int)sizeof back, NULL, NULL) != (int)sizeof text ||
        strcmp(back, text) != 0)
        return failed("WideCharToMultiByte");

    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    if (!TryEnterCriticalSection(&section) || section.RecursionCount != 2)
        return failed("EnterCriticalSection");
    DeleteCriticalSection(&section);

    SetLastError(0);
    if (HeapFree(heap, 0, back) || GetLastError() != ERROR_INVALID_PARAMETER)
        return failed("HeapFree of a foreign block");
    if (!HeapDestroy(heap))
        return failed("HeapDestroy");

    puts("client ok");
    return 0;
}
