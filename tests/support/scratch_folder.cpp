// The scratch folder's file writing and whole-file reading and writing.
#include "scratch_folder.h"

#include <fstream>
#include <iterator>

namespace test_support {

std::filesystem::path ScratchFolder::write(const std::string &name, const std::vector<std::uint8_t> &bytes) const
{
    write_file(path_ / name, bytes);
    return path_ / name;
}

std::vector<std::uint8_t> read_file(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace test_support
