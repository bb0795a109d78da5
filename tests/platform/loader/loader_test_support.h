// Helpers shared by the loader's tests: the fixture's files, scratch files, and
// the record of entry-point calls.
#ifndef MORVANE_TESTS_LOADER_TEST_SUPPORT_H
#define MORVANE_TESTS_LOADER_TEST_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

namespace loader_test {

std::vector<unsigned char> read_file(const std::string &path);
void write_file(const std::string &path, const std::vector<unsigned char> &bytes);
std::string fixture_source(const char *name);

// A directory of its own for one test, removed with everything in it at the end.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory &) = delete;
    ScratchDirectory &operator=(const ScratchDirectory &) = delete;

    std::string file(const std::string &name) const { return path_ + "/" + name; }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// The bytes of a resource found through FindResourceA, LoadResource and SizeofResource.
// Fails the calling test when any step fails.
std::vector<unsigned char> resource_bytes(HMODULE module, LPCSTR name, LPCSTR type);

struct EntryCall {
    HINSTANCE module;
    DWORD reason;
};
// Entry-point calls of the fixture since the last clear.
std::vector<EntryCall> &entry_calls();

}  // namespace loader_test

// Exported by the test program; the fixture's entry point reports through it.
extern "C" void loader_test_observe_entry(HINSTANCE module, DWORD reason);

#endif
