// Setting, reading and deleting the values of a key.
#include "registry/caller_buffers.h"
#include "registry/key_names.h"
#include "registry/registry_session.h"

using namespace morvane::registry;

extern "C" {

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                       DWORD cbData)
{
    // The data is kept byte for byte: a string keeps the terminator it was
    // given with, or none.
    return registry_call([&]() -> LSTATUS {
        if (lpData == nullptr && cbData != 0)
            return ERROR_INVALID_PARAMETER;
        std::string_view name;
        if (LSTATUS status = value_name(lpValueName, name); status != ERROR_SUCCESS)
            return status;
        KeyCall call(hKey, KEY_SET_VALUE, Transaction::Kind::write);
        call.store().set_value(call.key(), name, dwType, lpData, cbData);
        call.commit();
        return ERROR_SUCCESS;
    });
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData)
{
    return registry_call([&]() -> LSTATUS {
        if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
            return ERROR_INVALID_PARAMETER;
        std::string_view name;
        if (LSTATUS status = value_name(lpValueName, name); status != ERROR_SUCCESS)
            return status;
        // A single statement reads a whole committed state (or, inside an
        // update, the update's own writes) without a transaction around it.
        Session session;
        const OpenKey open = session.key(hKey, KEY_QUERY_VALUE);
        KeptReads &kept = session.kept();
        const bool keeping = kept.usable(session.db());
        std::optional<ValueEntry> read;
        const std::optional<ValueEntry> *value = keeping ? kept.value(open.key, name) : nullptr;
        if (value == nullptr) {
            read = session.store().value(open.key, name);
            if (keeping && kept.unchanged(session.db()))
                kept.keep_value(read);
            value = &read;
        }
        if (!*value)
            return ERROR_FILE_NOT_FOUND;
        if (lpType != nullptr)
            *lpType = (*value)->type;
        return copy_data((*value)->data, lpData, lpcbData);
    });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    return registry_call([&]() -> LSTATUS {
        std::string_view name;
        if (LSTATUS status = value_name(lpValueName, name); status != ERROR_SUCCESS)
            return status;
        KeyCall call(hKey, KEY_SET_VALUE, Transaction::Kind::write);
        if (!call.store().remove_value(call.key(), name))
            return ERROR_FILE_NOT_FOUND;
        call.commit();
        return ERROR_SUCCESS;
    });
}

} // extern "C"
