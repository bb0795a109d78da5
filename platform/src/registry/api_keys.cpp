// Opening, creating, closing and deleting keys.
#include "registry/key_names.h"
#include "registry/key_view.h"

using namespace morvane::registry;

namespace {

// Rows 1 to 7 are the predefined roots, which cannot be deleted.
bool is_root(KeyId key) { return key >= 1 && key <= 7; }

// Why levels below a key of the classes view are missing from the file its
// writes go to: another file holds them (and this process may not change
// that file through the view), the key itself is gone, or they do not exist.
LSTATUS missing_below(Session &session, const OpenKey &open, const std::vector<std::string_view> &levels)
{
    if (held_elsewhere(session, open, levels))
        return ERROR_ACCESS_DENIED;
    require_held(session, open);
    return ERROR_FILE_NOT_FOUND;
}

} // namespace

extern "C" {

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        if (phkResult == nullptr)
            return ERROR_INVALID_PARAMETER;
        *phkResult = nullptr;
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        Session session;
        auto opened = open_below(session, session.key(hKey, 0), levels, granted_access(samDesired));
        if (!opened)
            return ERROR_FILE_NOT_FOUND;
        *phkResult = session.handles().add(std::move(*opened));
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                        const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    // Volatile keys are kept like the others; classes and security
    // descriptors are not stored.
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        if (phkResult == nullptr || lpSubKey == nullptr)
            return ERROR_INVALID_PARAMETER;
        *phkResult = nullptr;
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        Session session;
        const OpenKey from = session.key(hKey, 0);
        // A key another file of the view holds is opened, not made again.
        const bool existed = from.classes && open_below(session, from, levels, 0).has_value();
        bool created = false;
        KeyId made = 0;
        write_file(session, from, true, [&](KeyStore &store, std::optional<KeyId> key, Transaction &transaction) {
            made = store.create_path(*key, levels, created, (from.access & KEY_CREATE_SUB_KEY) != 0 || existed);
            transaction.commit();
        });
        OpenKey opened;
        if (from.classes) {
            auto reopened = open_below(session, from, levels, granted_access(samDesired));
            if (!reopened)
                return ERROR_KEY_DELETED; // deleted again by another process meanwhile
            opened = std::move(*reopened);
        } else {
            opened.access = granted_access(samDesired);
            opened.scope = from.scope;
            opened.key = made;
            opened.generation = session.db(from.scope).generation();
        }
        *phkResult = session.handles().add(std::move(opened));
        if (lpdwDisposition != nullptr)
            *lpdwDisposition = created && !existed ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCloseKey(HKEY hKey)
{
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        Session session;
        if (predefined_root(hKey))
            return ERROR_SUCCESS;
        return session.handles().remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    // As on Windows, deleting needs no right on the handle given: the right
    // to delete belongs to the key deleted. An empty name deletes the key of
    // the handle itself.
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        if (lpSubKey == nullptr)
            return ERROR_INVALID_PARAMETER;
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        Session session;
        const OpenKey from = session.key(hKey, 0);
        if (from.classes && from.root && levels.empty()) {
            require_held(session, from);
            return ERROR_ACCESS_DENIED; // the classes root is a root
        }
        LSTATUS result = ERROR_SUCCESS;
        write_file(session, from, false, [&](KeyStore &store, std::optional<KeyId> key, Transaction &transaction) {
            KeyId parent = 0;
            auto target = key ? store.find_path(*key, levels, &parent) : std::nullopt;
            if (!target) {
                result = ERROR_FILE_NOT_FOUND;
                return;
            }
            if (levels.empty())
                parent = store.parent_of(*target).value_or(0);
            if ((!from.classes && is_root(*target)) || store.has_subkeys(*target)) {
                result = ERROR_ACCESS_DENIED;
                return;
            }
            store.remove_key(*target, parent);
            transaction.commit();
        });
        if (result == ERROR_FILE_NOT_FOUND && from.classes)
            return missing_below(session, from, levels);
        return result;
    });
}

LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey)
{
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        Session session;
        // Without a subkey the handle's own values go, which takes the right to set them.
        const OpenKey from = session.key(hKey, levels.empty() ? KEY_SET_VALUE : 0);
        LSTATUS result = ERROR_SUCCESS;
        write_file(session, from, false, [&](KeyStore &store, std::optional<KeyId> key, Transaction &transaction) {
            KeyId parent = 0;
            auto target = key ? store.find_path(*key, levels, &parent) : std::nullopt;
            if (!target) {
                // A file without the classes root has nothing of it to delete.
                result = from.root && levels.empty() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
                return;
            }
            store.remove_subtree(*target);
            if (levels.empty())
                store.remove_values(*target);
            else
                store.remove_key(*target, parent);
            transaction.commit();
        });
        if (result == ERROR_FILE_NOT_FOUND && from.classes)
            return missing_below(session, from, levels);
        return result;
    });
}

void MorvaneRegistryReset(void)
{
    try {
        Session::reset();
    } catch (...) {
        // Only a failing lock can throw here; the registry stays as it was.
    }
}

} // extern "C"
