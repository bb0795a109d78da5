// Opens arbitrary bytes as the registry database file and walks, reads,
// deletes and writes through the registry calls. The file is untrusted input:
// every call must return, whatever rows, cycles or names it holds.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};

// Deeper than any registry can nest, so that the registry's own limits are
// what the walk meets.
constexpr int deepest_walk = 600;
constexpr int most_keys_visited = 4000;

std::string scratch_directory;
std::string database_file;

void remove_scratch_directory()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratch_directory, ignored);
}

void remove_database()
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        std::remove((database_file + suffix).c_str());
}

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
    for (DWORD index = 0; index < 64; ++index) {
        DWORD name_size = sizeof name, data_size = sizeof data, type = 0;
        const LSTATUS status =
            RegEnumValueA(key, index, name, &name_size, nullptr, &type, data, &data_size);
        if (status == ERROR_NO_MORE_ITEMS || (status != ERROR_SUCCESS && status != ERROR_MORE_DATA))
            break;
    }
    for (DWORD index = 0; index < 64; ++index) {
        char subkey[256];
        DWORD size = sizeof subkey;
        const LSTATUS status =
            RegEnumKeyExA(key, index, subkey, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, subkey, 0, KEY_ALL_ACCESS, &child) == ERROR_SUCCESS) {
            walk(child, depth + 1, visited);
            RegCloseKey(child);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/registry_database_fuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    scratch_directory = pattern;
    database_file = scratch_directory + "/registry.db";
    std::atexit(remove_scratch_directory);
    setenv("MORVANE_REGISTRY", database_file.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MorvaneRegistryReset();
    remove_database();
    if (FILE *file = std::fopen(database_file.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    for (HKEY root : roots) {
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
