// A folder of its own for one test, removed with everything in it at the end,
// and whole-file reading and writing.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace test_support {

class ScratchFolder {
public:
    // A new folder below base. Made and removed inline, so that tests which link
    // the platform runtime alone can use it too.
    explicit ScratchFolder(
        const std::filesystem::path &base = std::filesystem::temp_directory_path())
    {
        std::string pattern = (base / "morvane-test.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch folder");
        path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
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
