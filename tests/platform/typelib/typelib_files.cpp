#include "typelib_files.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace typelib_test {

std::vector<std::uint8_t> component_typelib()
{
    std::ifstream in(MORVANE_TYPELIB, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

ScratchFolder::ScratchFolder()
{
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("typelib-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScratchFolder::write(const std::string &name,
                                           const std::vector<std::uint8_t> &bytes) const
{
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::u16string wide(const std::string &text)
{
    return std::u16string(text.begin(), text.end());
}

std::string narrow(const OLECHAR *text)
{
    std::string out;
    for (; text && *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

HRESULT load(const std::filesystem::path &file, ITypeLib **library)
{
    return LoadTypeLib(wide(file.string()).c_str(), library);
}

} // namespace typelib_test
