// A whole registry tree read back at once, for comparing what a run left with
// what it should have left, and its text form for failure messages and tables.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace morvane::test {

struct RegistryValue {
    DWORD type = 0;
    std::vector<unsigned char> data;

    bool operator==(const RegistryValue &other) const = default;
};

// Every key's path below the starting key ("" is that key itself), with its
// values by name ("" is the default value).
using RegistryTree = std::map<std::string, std::map<std::string, RegistryValue>>;

// The tree under root\path (root alone when path is empty); empty when the
// key cannot be opened. Reading stops at most_keys keys and, like `reg query /s`,
// descends at most 512 levels, so that a damaged database holding a cycle ends
// with paths of bounded length.
RegistryTree registry_tree(HKEY root, const std::string &path = "",
                           std::size_t most_keys = SIZE_MAX);

// One line per key below the start, in path order: the path, then each value
// as " @name=" followed by 'text' (a string with its terminator), #n (a
// number), x followed by hex digits (binary), or tN:hex for other types.
// The starting key appears only when it holds values.
std::string tree_text(const RegistryTree &tree);

} // namespace morvane::test
