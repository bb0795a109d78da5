// A key as people write it on the command line: a root name (short like HKCR
// or long like HKEY_CLASSES_ROOT), then optionally a backslash and a path.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

struct KeyArgument {
    HKEY root;
    std::string path;    // below the root, without leading or trailing backslash
    std::string display; // the long root name and the path, for messages and output
};

// None when the text does not start with a known root name.
std::optional<KeyArgument> parse_key_argument(const std::string &text);
