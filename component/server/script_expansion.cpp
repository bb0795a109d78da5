// Variable expansion: the whole text, once, before any token is read.
#include "server/expansion_buffer.h"
#include "server/script_limits.h"
#include "server/script_parser.h"
#include "server/script_text.h"

#include <winbase.h>

#include <cstring>

namespace morvane {

namespace {

// Appends a whole character at a time, so that a character is never split.
HRESULT append_text(ExpansionBuffer &buffer, LPCSTR text)
{
    for (LPCSTR c = text; *c != '\0';) {
        LPCSTR next = CharNextA(c);
        if (const HRESULT hr = buffer.append(c, static_cast<std::size_t>(next - c)); FAILED(hr))
            return hr;
        c = next;
    }
    return S_OK;
}

}  // namespace

HRESULT ScriptParser::expand_variables(LPCSTR text, LPSTR *expanded)
{
    *expanded = nullptr;
    ExpansionBuffer buffer;
    if (const HRESULT hr = buffer.allocate(2 * std::strlen(text)); FAILED(hr))
        return hr;

    for (LPCSTR c = text; *c != '\0';) {
        if (*c != '%') {
            LPCSTR next = CharNextA(c);
            if (const HRESULT hr = buffer.append(c, static_cast<std::size_t>(next - c)); FAILED(hr))
                return hr;
            c = next;
            continue;
        }
        if (c[1] == '%') {
            if (const HRESULT hr = buffer.append("%", 1); FAILED(hr))
                return hr;
            c += 2;
            continue;
        }
        LPCSTR name = c + 1;
        LPCSTR end = name;
        while (*end != '\0' && *end != '%')
            end = CharNextA(end);
        if (*end == '\0')
            return DISP_E_EXCEPTION;
        const auto length = static_cast<std::size_t>(end - name);
        if (length >= script_variable_name_size)
            return E_FAIL;
        char variable[script_variable_name_size];
        std::memcpy(variable, name, length);
        variable[length] = '\0';
        LPCOLESTR value = script_.find_variable(variable);
        if (value == nullptr)
            return DISP_E_EXCEPTION;
        TaskBlock ansi(ansi_copy(value));
        if (ansi.get() == nullptr)
            return E_OUTOFMEMORY;
        if (const HRESULT hr = append_text(buffer, ansi.text()); FAILED(hr))
            return hr;
        c = end + 1;
    }
    if (const HRESULT hr = buffer.append("", 1); FAILED(hr))
        return hr;
    *expanded = buffer.release();
    return S_OK;
}

} // namespace morvane
