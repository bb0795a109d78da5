// The removing pass's registry questions (subkeys, named values), tree deletion and the
// key holder.
#include "server/script_registry.h"

#include "server/script_limits.h"

namespace morvane {

bool has_subkeys(HKEY key)
{
    DWORD subkeys = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys > 0;
}

bool has_named_values(HKEY key)
{
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    if (values == 0)
        return false;
    if (values > 1)
        return true;
    char name[script_value_name_probe_size];
    DWORD length = sizeof name;
    return RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           name[0] != '\0';
}

LSTATUS delete_key_tree(HKEY parent, LPCSTR name)
{
    ScopedKey key;
    if (const LSTATUS opened = RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, key.receive());
        opened != ERROR_SUCCESS)
        return opened;
    char subkey[script_subkey_name_size];
    DWORD length = sizeof subkey;
    // Always index 0: each deletion moves the next subkey to the front.
    while (RegEnumKeyExA(key.get(), 0, subkey, &length, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
        if (const LSTATUS deleted = delete_key_tree(key.get(), subkey); deleted != ERROR_SUCCESS)
            return deleted;
        length = sizeof subkey;
    }
    key.close();
    return RegDeleteKeyA(parent, name);
}

} // namespace morvane
