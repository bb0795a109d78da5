// The script language's tables and their case-insensitive look-ups.
#include "server/script_tables.h"

#include <winbase.h>

namespace morvane {

namespace {

struct RootKey {
    const char *name;
    HKEY key;
};

// Searched in this order.
const RootKey root_keys[] = {
    {"HKCR", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},
    {"HKPD", HKEY_PERFORMANCE_DATA},
    {"HKDD", HKEY_DYN_DATA},
    {"HKCC", HKEY_CURRENT_CONFIG},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

struct ValueType {
    const char *letter;
    DWORD type;
};

const ValueType value_types[] = {
    {"S", REG_SZ},
    {"D", REG_DWORD},
    {"B", REG_BINARY},
};

const char *const protected_key_names[] = {"CLSID", "TYPELIB"};

}  // namespace

bool is_keyword(LPCSTR token, LPCSTR keyword)
{
    return lstrcmpiA(token, keyword) == 0;
}

HKEY find_root_key(LPCSTR name)
{
    for (const RootKey &root : root_keys)
        if (is_keyword(name, root.name))
            return root.key;
    return nullptr;
}

DWORD find_value_type(LPCSTR letter)
{
    for (const ValueType &value_type : value_types)
        if (is_keyword(letter, value_type.letter))
            return value_type.type;
    return 0;
}

bool is_protected_key_name(LPCSTR name)
{
    for (const char *protected_name : protected_key_names)
        if (is_keyword(name, protected_name))
            return true;
    return false;
}

} // namespace morvane
