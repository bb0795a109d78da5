#include "loader_test_support.h"

#include <gtest/gtest.h>


namespace loader_test {

std::string fixture_source(const char *name)
{
    return std::string(LOADER_FIXTURE_SOURCES) + "/" + name;
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
