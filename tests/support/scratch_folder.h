// A folder of its own for one test, removed with everything in it at the end,
// and whole-file reading and writing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    // Writes the bytes as the named file in the folder and gives its path.
    std::filesystem::path write(const std::string &name, const std::vector<std::uint8_t> &bytes) const;

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> read_file(const std::filesystem::path &path);
void write_file(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes);

} // namespace test_support
