// Setting, reading and deleting the values of a key.
#include "registry/caller_buffers.h"
#include "registry/key_names.h"
#include "registry/key_view.h"

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
        const OpenKey open = session.key(hKey, KEY_SET_VALUE);
        write_file(session, open, true, [&](KeyStore &store, std::optional<KeyId> key, Transaction &transaction) {
            store.set_value(*key, name, dwType, lpData, cbData);
            transaction.commit();
        });
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
        const OpenKey open = session.key(hKey, KEY_QUERY_VALUE);
        // The first file whose key holds the value answers; a later one is
        // not read.
        std::optional<ValueEntry> value;
        bool held = open.root;
        for (const Scope scope : files_of(open)) {
            visit_file(session, open, scope, [&](KeyStore &store, std::optional<KeyId> key) {
                held = held || key.has_value();
                if (key)
                    value = store.value(*key, name);
            });
            if (value)
                break;
        }
        if (!held)
            return ERROR_KEY_DELETED;
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
        const OpenKey open = session.key(hKey, KEY_SET_VALUE);
        bool removed = false;
        write_file(session, open, false, [&](KeyStore &store, std::optional<KeyId> key, Transaction &transaction) {
            removed = key && store.remove_value(*key, name);
            if (removed)
                transaction.commit();
        });
        if (removed)
            return ERROR_SUCCESS;
        // A value that only another file of the view holds stays visible: refused.
        bool elsewhere = false, held = open.root || !open.classes;
        const FileList files = files_of(open);
        for (auto scope = files.begin() + 1; scope != files.end(); ++scope) {
            visit_file(session, open, *scope, [&](KeyStore &store, std::optional<KeyId> key) {
                held = held || key.has_value();
                elsewhere = elsewhere || (key && store.value(*key, name));
            });
        }
        if (elsewhere)
            return ERROR_ACCESS_DENIED;
        if (!held) {
            // Neither the written file nor another holds the key.
            require_held(session, open);
        }
        return ERROR_FILE_NOT_FOUND;
    });
}

} // extern "C"
