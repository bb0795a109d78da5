#include "typelib_files.h"

#include <fstream>
#include <iterator>

namespace typelib_test {

std::vector<std::uint8_t> component_typelib()
{
    std::ifstream in(MORVANE_TYPELIB, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
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
