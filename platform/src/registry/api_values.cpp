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
        Session session;
        const OpenKey key = session.key(hKey, KEY_SET_VALUE);
        Transaction transaction(session.db(), Transaction::Kind::write);
        session.store().require(key.key);
        session.store().set_value(key.key, name, dwType, lpData, cbData);
        transaction.commit();
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
        Session session;
        const OpenKey key = session.key(hKey, KEY_QUERY_VALUE);
        Transaction transaction(session.db(), Transaction::Kind::read);
        session.store().require(key.key);
        auto value = session.store().value(key.key, name);
        transaction.commit();
        if (!value)
            return ERROR_FILE_NOT_FOUND;
        if (lpType != nullptr)
            *lpType = value->type;
        return copy_data(value->data, lpData, lpcbData);
    });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    return registry_call([&]() -> LSTATUS {
        std::string_view name;
        if (LSTATUS status = value_name(lpValueName, name); status != ERROR_SUCCESS)
            return status;
        Session session;
        const OpenKey key = session.key(hKey, KEY_SET_VALUE);
        Transaction transaction(session.db(), Transaction::Kind::write);
        session.store().require(key.key);
        if (!session.store().remove_value(key.key, name))
            return ERROR_FILE_NOT_FOUND;
        transaction.commit();
        return ERROR_SUCCESS;
    });
}

} // extern "C"
