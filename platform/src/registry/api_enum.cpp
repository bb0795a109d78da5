// Enumerating subkeys and values, and the summary of a key.
#include "registry/caller_buffers.h"
#include "registry/registry_session.h"

using namespace morvane::registry;

extern "C" {

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                      LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                      PFILETIME lpftLastWriteTime)
{
    // Subkeys come in name order, compared without regard to case; each call
    // reads afresh, so that a caller deleting as it goes can ask for index 0
    // again and again.
    return registry_call([&]() -> LSTATUS {
        if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr ||
            (lpClass != nullptr && lpcchClass == nullptr))
            return ERROR_INVALID_PARAMETER;
        KeyCall call(hKey, KEY_ENUMERATE_SUB_KEYS, Transaction::Kind::read);
        auto entry = call.store().subkey_at(call.key(), dwIndex);
        call.commit();
        if (!entry)
            return ERROR_NO_MORE_ITEMS;
        if (LSTATUS status = copy_name(entry->name, lpName, lpcchName); status != ERROR_SUCCESS)
            return status;
        // Keys have no class here.
        if (lpClass != nullptr) {
            if (LSTATUS status = copy_name({}, lpClass, lpcchClass); status != ERROR_SUCCESS)
                return status;
        }
        set_filetime(lpftLastWriteTime, entry->written);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                      LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    // Values come in the order they were first set, as on Windows.
    return registry_call([&]() -> LSTATUS {
        if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
            (lpData != nullptr && lpcbData == nullptr))
            return ERROR_INVALID_PARAMETER;
        KeyCall call(hKey, KEY_QUERY_VALUE, Transaction::Kind::read);
        auto entry = call.store().value_at(call.key(), dwIndex);
        call.commit();
        if (!entry)
            return ERROR_NO_MORE_ITEMS;
        if (LSTATUS status = copy_name(entry->name, lpValueName, lpcchValueName);
            status != ERROR_SUCCESS)
            return status;
        if (lpType != nullptr)
            *lpType = entry->type;
        return copy_data(entry->data, lpData, lpcbData);
    });
}

LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                         LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                         LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                         LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime)
{
    return registry_call([&]() -> LSTATUS {
        if (lpReserved != nullptr || (lpClass != nullptr && lpcchClass == nullptr))
            return ERROR_INVALID_PARAMETER;
        KeyCall call(hKey, KEY_QUERY_VALUE, Transaction::Kind::read);
        const KeyInfo info = call.store().info(call.key());
        call.commit();
        if (lpClass != nullptr) {
            if (LSTATUS status = copy_name({}, lpClass, lpcchClass); status != ERROR_SUCCESS)
                return status;
        } else if (lpcchClass != nullptr) {
            *lpcchClass = 0;
        }
        const auto put = [](LPDWORD out, DWORD value) {
            if (out != nullptr)
                *out = value;
        };
        put(lpcSubKeys, info.subkeys);
        put(lpcbMaxSubKeyLen, info.max_subkey_name);
        put(lpcbMaxClassLen, 0);
        put(lpcValues, info.values);
        put(lpcbMaxValueNameLen, info.max_value_name);
        put(lpcbMaxValueLen, info.max_value_data);
        put(lpcbSecurityDescriptor, 0);
        set_filetime(lpftLastWriteTime, info.written);
        return ERROR_SUCCESS;
    });
}

} // extern "C"
