#include "check.h"

#include <stdarg.h>
#include <stdio.h>

static int failure_count;

int check(int ok, const char *format, ...)
{
    if (!ok) {
        va_list args;
        va_start(args, format);
        fputs("client: FAILED: ", stderr);
        vfprintf(stderr, format, args);
        fputc('\n', stderr);
        va_end(args);
        ++failure_count;
    }
    return ok;
}

int check_hr(HRESULT got, HRESULT want, const char *what)
{
    return check(got == want, "%s returned 0x%08X, expected 0x%08X", what, (unsigned)got,
                 (unsigned)want);
}

int wide_equals(const OLECHAR *wide, const char *ascii)
{
    if (wide == NULL)
        return 0;
    for (; *ascii != '\0'; ++wide, ++ascii)
        if (*wide != (OLECHAR)(unsigned char)*ascii)
            return 0;
    return *wide == 0;
}

const char *narrow(const OLECHAR *wide)
{
    static char text[256];
    size_t i = 0;
    if (wide == NULL)
        return "(null)";
    for (; wide[i] != 0 && i + 1 < sizeof text; ++i)
        text[i] = wide[i] < 0x80 ? (char)wide[i] : '?';
    text[i] = '\0';
    return text;
}

int failures(void) { return failure_count; }
