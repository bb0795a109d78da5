/* A C client built only from the installed headers and library: UTF-8 to UTF-16
 * into a block of a private heap, and back. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main(void)
{
    static const char text[] = "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80";
    HANDLE heap = HeapCreate(0, 0, 0);
    /* "Grüße " is 6 units, the emoji a surrogate pair, then the terminator. */
    WCHAR *wide = (WCHAR *)HeapAlloc(heap, HEAP_ZERO_MEMORY, 9 * sizeof(WCHAR));
    char back[sizeof text];
    if (wide == NULL || MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 9) != 9 || wide[2] != 0x00FC ||
        wide[6] != 0xD83D || wide[7] != 0xDE00 ||
        WideCharToMultiByte(CP_ACP, 0, wide, -1, back, (int)sizeof back, NULL, NULL) != (int)sizeof text ||
        strcmp(back, text) != 0 || !HeapFree(heap, 0, wide) || !HeapDestroy(heap)) {
        fputs("client: the installed runtime failed a call\n", stderr);
        return 1;
    }
    puts("client ok");
    return 0;
}
