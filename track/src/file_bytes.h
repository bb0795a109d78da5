// A whole file read into memory, waiting for a pipe's writer as long as it
// takes, unless a wake-up descriptor turns readable first.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace morvane::track {

enum class FileRead { done, failed, woken };

// Descriptors whose readiness abandons a read; -1 for none.
using WakeDescriptors = std::array<int, 2>;

// Reads file into bytes; on failure why in `error`.
FileRead read_file(const std::string &file, const WakeDescriptors &wakes, std::vector<unsigned char> &bytes,
                   std::string &error);

} // namespace morvane::track
