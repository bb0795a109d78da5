#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace loader_test {

std::vector<unsigned char> read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string &path, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string fixture_source(const char *name)
{
    return std::string(LOADER_FIXTURE_SOURCES) + "/" + name;
}

ScratchDirectory::ScratchDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "loader_test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch directory");
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<unsigned char> resource_bytes(HMODULE module, LPCSTR name, LPCSTR type)
{
    HRSRC info = FindResourceA(module, name, type);
    EXPECT_NE(info, nullptr) << "FindResourceA failed with " << GetLastError();
    if (info == nullptr)
        return {};
    HGLOBAL loaded = LoadResource(module, info);
    EXPECT_NE(loaded, nullptr) << "LoadResource failed with " << GetLastError();
    const auto *data = static_cast<const unsigned char *>(LockResource(loaded));
    const DWORD size = SizeofResource(module, info);
    if (data == nullptr)
        return {};
    return {data, data + size};
}

std::vector<EntryCall> &entry_calls()
{
    static std::vector<EntryCall> calls;
    return calls;
}

}  // namespace loader_test

extern "C" __attribute__((visibility("default"))) void loader_test_observe_entry(HINSTANCE module,
                                                                                 DWORD reason)
{
    loader_test::entry_calls().push_back({module, reason});
}
