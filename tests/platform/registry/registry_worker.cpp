// A process of the multi-process registry tests. Each mode works on the value
// "data" of HKEY_CURRENT_USER\<key> in the registry that MORVANE_REGISTRY names:
//   write KEY SEED ROUNDS   sets ROUNDS stamped values, sizes varying
//   read KEY ROUNDS         reads ROUNDS times, each must be whole (or absent)
//   hammer KEY SEED         sets large stamped values until killed, printing
//                           "begin N" before each
//   delete KEY              deletes the key and everything under it
// Exit status: 0 done, 2 a broken value, 3 a failing call, 4 wrong usage.
#include "stress_value.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

constexpr int broken_value = 2;
constexpr int failed_call = 3;
constexpr int wrong_usage = 4;

int report(int status, const char *what, LSTATUS code)
{
    std::fprintf(stderr, "registry_worker: %s: %ld\n", what, static_cast<long>(code));
    return status;
}

int write_rounds(const char *path, std::uint32_t seed, std::uint32_t rounds, std::size_t max,
                 bool announce)
{
    for (std::uint32_t round = 0; rounds == 0 || round < rounds; ++round) {
        HKEY key = nullptr;
        LSTATUS rc = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS)
            return report(failed_call, "create", rc);
        const std::vector<std::uint8_t> value =
            stress::make_value({seed, round}, stress::length_for(seed, round, max));
        if (announce) {
            std::printf("begin %u\n", round);
            std::fflush(stdout);
        }
        rc = RegSetValueExA(key, "data", 0, REG_BINARY, value.data(),
                            static_cast<DWORD>(value.size()));
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return report(failed_call, "set", rc);
    }
    return 0;
}

int read_rounds(const char *path, std::uint32_t rounds)
{
    for (std::uint32_t round = 0; round < rounds; ++round) {
        HKEY key = nullptr;
        LSTATUS rc = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue;
        if (rc != ERROR_SUCCESS)
            return report(failed_call, "open", rc);
        // The size may change between the two calls; ask again until it fits.
        std::vector<std::uint8_t> data(256);
        DWORD size = static_cast<DWORD>(data.size());
        while ((rc = RegQueryValueExA(key, "data", nullptr, nullptr, data.data(), &size)) ==
               ERROR_MORE_DATA) {
            data.resize(size);
        }
        RegCloseKey(key);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue;
        if (rc != ERROR_SUCCESS)
            return report(failed_call, "query", rc);
        data.resize(size);
        if (!stress::check_value(data))
            return report(broken_value, "broken value of size", static_cast<LSTATUS>(size));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // A stuck worker must not hold up the test run.
    alarm(60);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 5)
        return write_rounds(argv[2], static_cast<std::uint32_t>(std::atoi(argv[3])),
                            static_cast<std::uint32_t>(std::atoi(argv[4])), 48 * 1024, false);
    if (mode == "read" && argc == 4)
        return read_rounds(argv[2], static_cast<std::uint32_t>(std::atoi(argv[3])));
    if (mode == "hammer" && argc == 4)
        return write_rounds(argv[2], static_cast<std::uint32_t>(std::atoi(argv[3])), 0,
                            2 * 1024 * 1024, true);
    if (mode == "delete" && argc == 3) {
        const LSTATUS rc = RegDeleteTreeA(HKEY_CURRENT_USER, argv[2]);
        return rc == ERROR_SUCCESS ? 0 : report(failed_call, "delete", rc);
    }
    std::fprintf(stderr, "usage: registry_worker write|read|hammer|delete KEY ...\n");
    return wrong_usage;
}
