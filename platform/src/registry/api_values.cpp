// Setting, reading and deleting the values of a key.
#include "registry/caller_buffers.h"
#include "registry/key_names.h"
#include "registry/key_view.h"

using namespace morvane::registry;

namespace {

// Whether the flags of RegGetValueA accept a value type.
bool accepted(DWORD flags, DWORD type)
{
    static constexpr std::pair<DWORD, DWORD> types[] = {
        {REG_NONE, RRF_RT_REG_NONE},   {REG_SZ, RRF_RT_REG_SZ},       {REG_EXPAND_SZ, RRF_RT_REG_EXPAND_SZ},
        {REG_BINARY, RRF_RT_REG_BINARY}, {REG_DWORD, RRF_RT_REG_DWORD}, {REG_MULTI_SZ, RRF_RT_REG_MULTI_SZ},
        {REG_QWORD, RRF_RT_REG_QWORD}};
    if ((flags & RRF_RT_ANY) == RRF_RT_ANY)
        return true;
    for (const auto &[value_type, flag] : types)
        if (value_type == type)
            return (flags & flag) != 0;
    return false;
}

// A value of the key at levels below a handle's key: the first file whose key
// holds it answers, in one transaction of that file, and a later file is not read.
LSTATUS query_value(HKEY handle, const std::vector<std::string_view> &levels, LPCSTR value_name_text,
                    DWORD flags, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (data != nullptr && size == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::string_view name;
    if (LSTATUS status = value_name(value_name_text, name); status != ERROR_SUCCESS)
        return status;
    Session session;
    const OpenKey open = session.key(handle, levels.empty() ? KEY_QUERY_VALUE : 0);
    std::optional<ValueEntry> value;
    bool held = open.root;
    for (const Scope scope : files_of(open)) {
        visit_file(session, open, scope, [&](KeyStore &store, std::optional<KeyId> key) {
            held = held || key.has_value();
            const auto below = key ? store.find_path(*key, levels) : std::nullopt;
            if (below)
                value = store.value(*below, name);
        });
        if (value)
            break;
    }
    if (!held)
        return ERROR_KEY_DELETED;
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (!accepted(flags, value->type))
        return ERROR_UNSUPPORTED_TYPE;
    if (type != nullptr)
        *type = value->type;
    return copy_data(value->data, data, size);
}

} // namespace

extern "C" {

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData,
                       DWORD cbData)
{
    // The data is kept byte for byte: a string keeps the terminator it was
    // given with, or none.
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
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
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        if (lpReserved != nullptr)
            return ERROR_INVALID_PARAMETER;
        return query_value(hKey, {}, lpValueName, RRF_RT_ANY, lpType, lpData, lpcbData);
    });
}

LSTATUS RegGetValueA(HKEY hkey, LPCSTR lpSubKey, LPCSTR lpValue, DWORD dwFlags, LPDWORD pdwType,
                     PVOID pvData, LPDWORD pcbData)
{
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
        if ((dwFlags & RRF_RT_ANY) == 0 || (dwFlags & ~DWORD(RRF_RT_ANY | RRF_NOEXPAND)) != 0)
            return ERROR_INVALID_PARAMETER;
        std::vector<std::string_view> levels;
        if (LSTATUS status = split_key_path(lpSubKey, levels); status != ERROR_SUCCESS)
            return status;
        return query_value(hkey, levels, lpValue, dwFlags, pdwType, static_cast<LPBYTE>(pvData), pcbData);
    });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    return morvane::guarded<RegistryError>(registry_failures, [&]() -> LSTATUS {
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
