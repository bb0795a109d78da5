// Compares outputs with inputs by device and inode, so that other names of the same file count too.
#include "output_guard.h"

#include <filesystem>

#include <sys/stat.h>

namespace morvane::track {

namespace {

std::optional<std::pair<dev_t, ino_t>> identity(const std::string &path)
{
    struct stat status {};
    if (path.empty() || stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return std::pair(status.st_dev, status.st_ino);
}

} // namespace

std::optional<std::string> overwritten_input(const std::string &output, bool folder,
                                             const std::vector<std::string> &inputs)
{
    const auto written = identity(output);
    if (!written)
        return std::nullopt; // nothing there yet, so no input either
    for (const std::string &input : inputs) {
        if (identity(input) == written)
            return input;
        const std::string parent = std::filesystem::path(input).parent_path().string();
        if (folder && identity(parent.empty() ? "." : parent) == written)
            return input;
    }
    return std::nullopt;
}

} // namespace morvane::track
