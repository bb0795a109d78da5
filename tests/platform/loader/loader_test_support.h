// Helpers shared by the loader's tests: the fixture's files, resource bytes and
// the record of entry-point calls.
#ifndef MORVANE_TESTS_LOADER_TEST_SUPPORT_H
#define MORVANE_TESTS_LOADER_TEST_SUPPORT_H

#include "scratch_folder.h"

#include <windows.h>

#include <string>
#include <vector>

namespace loader_test {

using test_support::read_file;
using test_support::write_file;
using ScratchDirectory = test_support::ScratchFolder;

std::string fixture_source(const char *name);

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
