// A whole file read into memory, waiting for a pipe's writer as long as it
// takes, unless a wake-up descriptor turns readable first.
#pragma once

#include <string>
#include <vector>

namespace morvane::track {

enum class FileRead { done, failed, woken };

// Reads file into bytes; on failure why in `error`. wake (or -1 for none) is a
// descriptor whose readiness abandons the read.
FileRead read_file(const std::string &file, int wake, std::vector<unsigned char> &bytes, std::string &error);

} // namespace morvane::track
