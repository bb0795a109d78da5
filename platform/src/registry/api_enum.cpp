// Enumerating subkeys and values, and the summary of a key. A key of one
// file is read by index from its file; a key the classes view spans is the
// union of its files' keys, each name once (the first file's where both
// hold it).
#include "registry/caller_buffers.h"
#include "registry/key_names.h"
#include "registry/key_view.h"

#include <algorithm>
#include <map>

using namespace morvane::registry;

namespace {

// The subkeys of the view in name order, each name once.
std::vector<SubkeyEntry> merged_subkeys(Session &session, const OpenKey &open)
{
    std::map<std::string, SubkeyEntry> by_fold;
    visit_files(session, open, [&](KeyStore &store, std::optional<KeyId> key) {
        if (key)
            for (SubkeyEntry &entry : store.subkeys(*key))
                by_fold.try_emplace(fold_name(entry.name), std::move(entry));
    });
    std::vector<SubkeyEntry> entries;
    for (auto &[fold, entry] : by_fold)
        entries.push_back(std::move(entry));
    return entries;
}

// The values of the view: the first file's in their order, then the others'
// that no earlier file holds.
std::vector<ValueEntry> merged_values(Session &session, const OpenKey &open)
{
    std::vector<ValueEntry> entries;
    std::vector<std::string> seen;
    visit_files(session, open, [&](KeyStore &store, std::optional<KeyId> key) {
        if (!key)
            return;
        const std::size_t earlier = seen.size();
        for (ValueEntry &entry : store.values(*key)) {
            std::string fold = fold_name(entry.name);
            if (std::find(seen.begin(), seen.begin() + static_cast<std::ptrdiff_t>(earlier), fold) !=
                seen.begin() + static_cast<std::ptrdiff_t>(earlier))
                continue;
            seen.push_back(std::move(fold));
            entries.push_back(std::move(entry));
        }
    });
    return entries;
}

// The index-th subkey or value: read by index from a key of one file, taken
// from the union of the files for a key of the classes view.
template <typename Entry>
std::optional<Entry> entry_at(Session &session, const OpenKey &open, DWORD index,
                              std::vector<Entry> (*merged)(Session &, const OpenKey &),
                              std::optional<Entry> (KeyStore::*by_index)(KeyId, DWORD))
{
    std::optional<Entry> entry;
    if (open.classes) {
        std::vector<Entry> entries = merged(session, open);
        if (index < entries.size())
            entry = std::move(entries[index]);
    } else {
        visit_file(session, open, open.scope,
                   [&](KeyStore &store, std::optional<KeyId> key) { entry = (store.*by_index)(*key, index); });
    }
    return entry;
}

} // namespace

extern "C" {

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                      LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                      PFILETIME lpftLastWriteTime)
{
    // Subkeys come in name order, compared without regard to case; each call
    // reads afresh, so that a caller deleting as it goes can ask for index 0
    // again and again.
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr ||
            (lpClass != nullptr && lpcchClass == nullptr))
            return ERROR_INVALID_PARAMETER;
        Session session;
        const OpenKey open = session.key(hKey, KEY_ENUMERATE_SUB_KEYS);
        const auto entry = entry_at(session, open, dwIndex, merged_subkeys, &KeyStore::subkey_at);
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
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        if (lpValueName == nullptr || lpcchValueName == nullptr || lpReserved != nullptr ||
            (lpData != nullptr && lpcbData == nullptr))
            return ERROR_INVALID_PARAMETER;
        Session session;
        const OpenKey open = session.key(hKey, KEY_QUERY_VALUE);
        const auto entry = entry_at(session, open, dwIndex, merged_values, &KeyStore::value_at);
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
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        if (lpReserved != nullptr || (lpClass != nullptr && lpcchClass == nullptr))
            return ERROR_INVALID_PARAMETER;
        Session session;
        const OpenKey open = session.key(hKey, KEY_QUERY_VALUE);
        KeyInfo info;
        if (open.classes) {
            for (const SubkeyEntry &entry : merged_subkeys(session, open)) {
                ++info.subkeys;
                info.max_subkey_name = std::max(info.max_subkey_name, DWORD(entry.name.size()));
            }
            for (const ValueEntry &entry : merged_values(session, open)) {
                ++info.values;
                info.max_value_name = std::max(info.max_value_name, DWORD(entry.name.size()));
                info.max_value_data = std::max(info.max_value_data, DWORD(entry.data.size()));
            }
            visit_files(session, open, [&](KeyStore &store, std::optional<KeyId> key) {
                if (key)
                    info.written = std::max(info.written, store.info(*key).written);
            });
        } else {
            visit_file(session, open, open.scope, [&](KeyStore &store, std::optional<KeyId> key) {
                info = store.info(*key);
            });
        }
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
