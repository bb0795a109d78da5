// Stepping through ANSI text by characters. The ANSI code page is UTF-8, in
// which a character is one to four bytes.
#include "kernel/unicode.h"

#include <winbase.h>

// Steps over one whole UTF-8 sequence; a byte that does not begin a complete,
// well-formed sequence counts as one character. At the terminating zero the
// pointer stays put, and a zero byte inside a truncated sequence is never
// stepped over because it cannot continue a sequence.
EXTERN_C LPSTR CharNextA(LPCSTR lpsz)
{
    if (lpsz == nullptr || *lpsz == '\0')
        return const_cast<LPSTR>(lpsz);
    const auto step = morvane::kernel::decode_utf8(reinterpret_cast<const unsigned char *>(lpsz), 4);
    return const_cast<LPSTR>(lpsz + (step.valid ? step.length : 1));
}

// UTF-8 is not a double-byte code page: Windows answers FALSE for every byte
// when the ANSI code page is UTF-8 (lead bytes exist only in DBCS code pages).
EXTERN_C BOOL IsDBCSLeadByte(BYTE TestChar)
{
    static_cast<void>(TestChar);
    return FALSE;
}
