// Outputs that would overwrite an input are refused before anything is written.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace morvane::track {

// The input that writing `output` would overwrite, if any: the same file (by
// device and inode) as an input, or, for a folder output (`folder` true), the
// folder of an input file or the input folder itself.
std::optional<std::string> overwritten_input(const std::string &output, bool folder,
                                             const std::vector<std::string> &inputs);

} // namespace morvane::track
