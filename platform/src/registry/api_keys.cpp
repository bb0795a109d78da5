// Opening, creating, closing and deleting keys.
#include "registry/key_names.h"
#include "registry/registry_session.h"

using namespace morvane::registry;

namespace {

// Rows 1 to 7 are the predefined roots, which cannot be deleted.
bool is_root(KeyId key) { return key >= 1 && key <= 7; }

} // namespace

extern "C" {

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    return registry_call([&]() -> LSTATUS {
        if (phkResult == nullptr)
            return ERROR_INVALID_PARAMETER;
        *phkResult = nullptr;
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        Session session;
        const OpenKey from = session.key(hKey, 0);
        KeptReads &kept = session.kept();
        const bool keeping = kept.usable(session.db());
        std::optional<KeyId> found;
        if (const auto *known = keeping ? kept.key(from.key, levels) : nullptr) {
            found = *known;
        } else {
            Transaction transaction(session.db(), Transaction::Kind::read);
            session.store().require(from.key);
            found = session.store().find_path(from.key, levels);
            transaction.commit();
            if (keeping && kept.unchanged(session.db()))
                kept.keep_key(found);
        }
        if (!found)
            return ERROR_FILE_NOT_FOUND;
        const OpenKey opened{*found, granted_access(samDesired), session.db().generation()};
        *phkResult = session.handles().add(opened);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                        const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    // Volatile keys are kept like the others; classes and security
    // descriptors are not stored.
    return registry_call([&]() -> LSTATUS {
        if (phkResult == nullptr || lpSubKey == nullptr)
            return ERROR_INVALID_PARAMETER;
        *phkResult = nullptr;
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        KeyCall call(hKey, 0, Transaction::Kind::write);
        KeyId key = call.key();
        bool created = false;
        for (std::string_view level : levels) {
            if (auto existing = call.store().find_subkey(key, level)) {
                key = *existing;
                continue;
            }
            if ((call.access() & KEY_CREATE_SUB_KEY) == 0)
                return ERROR_ACCESS_DENIED;
            key = call.store().create_subkey(key, level);
            created = true;
        }
        call.commit();
        *phkResult = call.handles().add({key, granted_access(samDesired), call.generation()});
        if (lpdwDisposition != nullptr)
            *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCloseKey(HKEY hKey)
{
    return registry_call([&]() -> LSTATUS {
        Session session(Session::Uses::handles);
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
    return registry_call([&]() -> LSTATUS {
        if (lpSubKey == nullptr)
            return ERROR_INVALID_PARAMETER;
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        KeyCall call(hKey, 0, Transaction::Kind::write);
        KeyStore &store = call.store();
        KeyId parent = 0;
        auto target = store.find_path(call.key(), levels, &parent);
        if (!target)
            return ERROR_FILE_NOT_FOUND;
        if (levels.empty())
            parent = store.parent_of(*target).value_or(0);
        if (is_root(*target) || store.has_subkeys(*target))
            return ERROR_ACCESS_DENIED;
        store.remove_key(*target, parent);
        call.commit();
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey)
{
    return registry_call([&]() -> LSTATUS {
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        // Without a subkey the handle's own values go, which takes the right to set them.
        KeyCall call(hKey, levels.empty() ? KEY_SET_VALUE : 0, Transaction::Kind::write);
        KeyStore &store = call.store();
        KeyId parent = 0;
        auto target = store.find_path(call.key(), levels, &parent);
        if (!target)
            return ERROR_FILE_NOT_FOUND;
        store.remove_subtree(*target);
        if (levels.empty())
            store.remove_values(*target);
        else
            store.remove_key(*target, parent);
        call.commit();
        return ERROR_SUCCESS;
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
