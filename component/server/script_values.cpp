// Writing an assignment's value: "s" text, "d" unsigned 32-bit number, "b" bytes.
#include "server/script_limits.h"
#include "server/script_passes.h"
#include "server/script_tables.h"

#include <windows.h>

#include <cstring>

namespace morvane {

namespace {

BYTE digit_value(char digit)
{
    if (digit >= '0' && digit <= '9')
        return static_cast<BYTE>(digit - '0');
    if (digit >= 'A' && digit <= 'F')
        return static_cast<BYTE>(digit - 'A' + 10);
    if (digit >= 'a' && digit <= 'f')
        return static_cast<BYTE>(digit - 'a' + 10);
    return 0;
}

void write_number(HKEY key, LPCSTR value_name, LPCSTR text)
{
    WCHAR wide[script_token_size];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, script_token_size) <= 0)
        return;
    // A text that is no unsigned 32-bit number writes nothing, like a failed write.
    ULONG number = 0;
    if (FAILED(VarUI4FromStr(wide, 0, 0, &number)))
        return;
    RegSetValueExA(key, value_name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number);
}

HRESULT write_bytes(HKEY key, LPCSTR value_name, LPCSTR text)
{
    const std::size_t digits = std::strlen(text);
    if (digits % 2 != 0)
        return E_FAIL;
    BYTE bytes[script_token_size / 2] = {};
    for (std::size_t i = 0; i < digits; ++i)
        bytes[i / 2] = static_cast<BYTE>(bytes[i / 2] | digit_value(text[i]) << (i % 2 == 0 ? 4 : 0));
    RegSetValueExA(key, value_name, 0, REG_BINARY, bytes, static_cast<DWORD>(digits / 2));
    return S_OK;
}

}  // namespace

// The results of the registry writes are not looked at: a value that cannot be
// written does not stop the run.
HRESULT write_value(HKEY key, LPCSTR value_name, const ScriptAssignment &assignment)
{
    LPCSTR text = assignment.text.c_str();
    switch (find_value_type(assignment.type.c_str())) {
    case REG_SZ:
        RegSetValueExA(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                       static_cast<DWORD>(assignment.text.size() + 1));
        return S_OK;
    case REG_DWORD:
        write_number(key, value_name, text);
        return S_OK;
    case REG_BINARY:
        return write_bytes(key, value_name, text);
    default:
        return DISP_E_EXCEPTION;
    }
}

} // namespace morvane
