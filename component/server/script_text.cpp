// Text copies on the task allocator, in UTF-16 and in the ANSI code page, and the backslash test.
#include "server/script_text.h"

#include <winbase.h>

#include <cstring>

namespace morvane {

LPSTR ansi_copy(LPCOLESTR text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return nullptr;
    auto *ansi = static_cast<LPSTR>(CoTaskMemAlloc(static_cast<SIZE_T>(size)));
    if (ansi != nullptr && WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, size, nullptr, nullptr) != size) {
        CoTaskMemFree(ansi);
        return nullptr;
    }
    return ansi;
}

LPOLESTR wide_copy(LPCOLESTR text)
{
    SIZE_T length = 0;
    while (text[length] != 0)
        ++length;
    auto *copy = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(OLECHAR)));
    if (copy != nullptr)
        std::memcpy(copy, text, (length + 1) * sizeof(OLECHAR));
    return copy;
}

bool contains_backslash(LPCSTR text)
{
    for (LPCSTR c = text; *c != '\0'; c = CharNextA(c))
        if (*c == '\\')
            return true;
    return false;
}

} // namespace morvane
