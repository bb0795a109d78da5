// Arbitrary files loaded as data files, resources looked up in whatever the loader accepts.
#include "fuzz_support.h"
#include "scratch_folder.h"

#include <windows.h>

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const test_support::ScratchFolder folder; // removed when the process exits
    const std::string file = folder.write("input", {data, data + size}).string();
    HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return 0;
    const LPCSTR queries[][2] = {
        {MAKEINTRESOURCE(101), "REGISTRY"}, {MAKEINTRESOURCE(1), "TYPELIB"}, {"NAME", "TYPE"},
        {"#2", MAKEINTRESOURCE(3)}};
    unsigned sum = 0;
    for (const auto &query : queries) {
        HRSRC info = FindResourceA(module, query[0], query[1]);
        if (info == nullptr)
            continue;
        const auto *bytes = static_cast<const uint8_t *>(LockResource(LoadResource(module, info)));
        const DWORD length = SizeofResource(module, info);
        fuzz::require(bytes != nullptr);
        for (DWORD i = 0; i < length; ++i)
            sum += bytes[i];
    }
    fuzz::require(FreeLibrary(module));
    return static_cast<int>(sum & 0);
}
