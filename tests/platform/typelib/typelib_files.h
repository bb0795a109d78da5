// Helpers of the type library tests: files in a scratch folder and the compiled
// type library of the component.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace typelib_test {

// The component's type library as the build compiled it.
std::vector<std::uint8_t> component_typelib();

// A folder removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    std::filesystem::path write(const std::string &name, const std::vector<std::uint8_t> &bytes) const;
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::u16string wide(const std::string &text);
std::string narrow(const OLECHAR *text);

// LoadTypeLib of a file.
HRESULT load(const std::filesystem::path &file, ITypeLib **library);

} // namespace typelib_test
