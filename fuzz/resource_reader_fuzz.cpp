// Feeds arbitrary files to the loader as data files and looks resources up in
// whatever it accepts: no input may be read out of bounds or crash the reader.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string &scratch_file()
{
    static const std::string path = [] {
        std::string pattern = "/tmp/resource_reader_fuzz.XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit([] { std::remove(scratch_file().c_str()); });
        return pattern;
    }();
    return path;
}

void write_input(const uint8_t *data, size_t size)
{
    FILE *file = std::fopen(scratch_file().c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    write_input(data, size);
    HMODULE module = LoadLibraryExA(scratch_file().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return 0;
    const LPCSTR queries[][2] = {
        {MAKEINTRESOURCE(101), "REGISTRY"},
        {MAKEINTRESOURCE(1), "TYPELIB"},
        {"NAME", "TYPE"},
        {"#2", MAKEINTRESOURCE(3)},
    };
    unsigned sum = 0;
    for (const auto &query : queries) {
        HRSRC info = FindResourceA(module, query[0], query[1]);
        if (info == nullptr)
            continue;
        const auto *bytes = static_cast<const uint8_t *>(LockResource(LoadResource(module, info)));
        const DWORD length = SizeofResource(module, info);
        if (bytes == nullptr)
            std::abort();
        for (DWORD i = 0; i < length; ++i)
            sum += bytes[i];
    }
    if (!FreeLibrary(module))
        std::abort();
    return static_cast<int>(sum & 0);
}
