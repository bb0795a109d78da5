// Arbitrary bytes as the registry database: walking, deleting and writing must all return.
#include "fuzz_support.h"
#include "scratch_folder.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Deeper than any registry can nest, so that the registry's own limits are what the walk meets.
constexpr int deepest_walk = 600;
constexpr int most_keys_visited = 4000;

// Reads every value and subkey below key, as reg query /s does.
void walk(HKEY key, int depth, int &visited)
{
    if (depth > deepest_walk || ++visited > most_keys_visited)
        return;
    DWORD subkeys = 0, values = 0, longest_name = 0, longest_data = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                     &longest_name, &longest_data, nullptr, nullptr);
    static char name[16384];
    static BYTE data[4096];
    for (DWORD i = 0; i < 64; ++i) {
        DWORD length = sizeof name, size = sizeof data, type = 0;
        const LSTATUS got = RegEnumValueA(key, i, name, &length, nullptr, &type, data, &size);
        if (got != ERROR_SUCCESS && got != ERROR_MORE_DATA)
            break;
    }
    for (DWORD i = 0; i < 64; ++i) {
        char sub[256];
        DWORD size = sizeof sub;
        const LSTATUS got = RegEnumKeyExA(key, i, sub, &size, nullptr, nullptr, nullptr, nullptr);
        if (got == ERROR_MORE_DATA)
            continue;
        if (got != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, sub, 0, KEY_ALL_ACCESS, &child) == ERROR_SUCCESS) {
            walk(child, depth + 1, visited);
            RegCloseKey(child);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string file = fuzz::scratch_registry().file().string();
    MorvaneRegistryReset();
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        std::remove((file + suffix).c_str());
    test_support::write_file(file, {data, data + size});
    fuzz::require(std::filesystem::file_size(file) == size);
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        int visited = 0;
        walk(root, 0, visited);
        char first[256];
        DWORD length = sizeof first;
        if (RegEnumKeyExA(root, 0, first, &length, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
            RegDeleteTreeA(root, first);
    }
    HKEY created = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Fuzz", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &created, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(created, "value", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2);
        RegCloseKey(created);
    }
    if (MorvaneRegistryBeginUpdate() == ERROR_SUCCESS) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID");
        MorvaneRegistryEndUpdate(TRUE);
    }
    return 0;
}
