// The fixed tables of the script language: root keys, value types, protected key
// names and keywords, all compared without regard to case.
#pragma once

#include <winreg.h>

namespace morvane {

inline constexpr char script_keyword_force_remove[] = "ForceRemove";
inline constexpr char script_keyword_delete[] = "Delete";
inline constexpr char script_keyword_no_remove[] = "NoRemove";
inline constexpr char script_keyword_value[] = "Val";

// The predefined key a root name stands for ("HKCR", "HKEY_CLASSES_ROOT", ...), or null.
HKEY find_root_key(LPCSTR name);

// The registry type a value type letter stands for (REG_SZ, REG_DWORD, REG_BINARY), or 0.
DWORD find_value_type(LPCSTR letter);

// "CLSID" and "TYPELIB": keys that no forced or explicit deletion removes.
bool is_protected_key_name(LPCSTR name);

// The token is the keyword (compared with lstrcmpiA).
bool is_keyword(LPCSTR token, LPCSTR keyword);

} // namespace morvane
