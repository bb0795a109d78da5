// Walks the dynamic linker's list of mapped objects. A module's handle is the
// address at which its ELF header is mapped: the load bias plus the virtual
// address of the loadable segment that starts at file offset 0.
#include "loader/loaded_images.h"

#include <dlfcn.h>
#include <filesystem>
#include <link.h>
#include <string_view>
#include <unistd.h>

namespace morvane::loader {
namespace {

HMODULE header_address(const dl_phdr_info &info)
{
    for (ElfW(Half) i = 0; i < info.dlpi_phnum; ++i) {
        const ElfW(Phdr) &segment = info.dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && segment.p_offset == 0)
            return reinterpret_cast<HMODULE>(info.dlpi_addr + segment.p_vaddr);
    }
    // No segment maps the header: the bias still identifies the module uniquely.
    return reinterpret_cast<HMODULE>(info.dlpi_addr);
}

struct Search {
    // Match on the header address, or else on the load bias and name of a link map.
    HMODULE wanted_base = nullptr;
    const link_map *wanted_map = nullptr;
    bool first_only = false;

    bool found = false;
    LoadedImage image;
};

int visit(dl_phdr_info *info, size_t, void *context)
{
    auto &search = *static_cast<Search *>(context);
    const HMODULE base = header_address(*info);
    bool match = false;
    if (search.first_only)
        match = true;
    else if (search.wanted_map != nullptr)
        match = info->dlpi_addr == search.wanted_map->l_addr && info->dlpi_name != nullptr &&
                search.wanted_map->l_name != nullptr &&
                std::string_view(info->dlpi_name) == search.wanted_map->l_name;
    else
        match = base == search.wanted_base;
    if (!match)
        return 0;
    search.found = true;
    search.image.base = base;
    const char *name = info->dlpi_name;
    // The dynamic linker names the main program with an empty string.
    search.image.path = (name == nullptr || *name == '\0') ? executable_path() : absolute_path(name);
    return 1;
}

std::optional<LoadedImage> run(Search &search)
{
    dl_iterate_phdr(visit, &search);
    if (!search.found)
        return std::nullopt;
    return search.image;
}

}  // namespace

std::string absolute_path(const std::string &path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return path;
    return absolute.lexically_normal().string();
}

std::string executable_path()
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::optional<LoadedImage> image_at(HMODULE base)
{
    if (base == nullptr)
        return std::nullopt;
    Search search;
    search.wanted_base = base;
    return run(search);
}

std::optional<LoadedImage> image_of_dl_handle(void *dl_handle)
{
    link_map *map = nullptr;
    if (dlinfo(dl_handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr)
        return std::nullopt;
    Search search;
    search.wanted_map = map;
    return run(search);
}

std::optional<LoadedImage> main_image()
{
    Search search;
    search.first_only = true;
    return run(search);
}

}  // namespace morvane::loader
