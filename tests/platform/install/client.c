/* A C client built only from the installed headers and library, through pkg-config: it links
 * and runs (the calls' results are the runtime's own tests'). */
#include <windows.h>

#include <stdio.h>

int main(void)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    WCHAR *wide = (WCHAR *)HeapAlloc(heap, HEAP_ZERO_MEMORY, 4 * sizeof(WCHAR));
    if (wide == NULL || MultiByteToWideChar(CP_UTF8, 0, "ok", -1, wide, 4) != 3 || !HeapFree(heap, 0, wide) ||
        !HeapDestroy(heap)) {
        fputs("client: the installed runtime failed a call\n", stderr);
        return 1;
    }
    puts("client ok");
    return 0;
}
