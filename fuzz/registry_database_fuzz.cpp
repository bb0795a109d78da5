// Arbitrary bytes as the registry database: walking, deleting and writing must all return.
#include "fuzz_support.h"
#include "registry_tree.h"
#include "scratch_folder.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

// More keys than a file of the fuzzer's sizes holds; a cycle the registry misses ends at
// the walk's depth limit.
constexpr std::size_t most_keys_read = 4000;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string file = fuzz::scratch_registry().file().string();
    MorvaneRegistryReset();
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        std::remove((file + suffix).c_str());
    test_support::write_file(file, {data, data + size});
    fuzz::require(std::filesystem::file_size(file) == size);
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
        RegQueryInfoKeyA(root, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr); // the key's figures are counted anyway
        morvane::test::registry_tree(root, "", most_keys_read); // as reg query /s reads it
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
