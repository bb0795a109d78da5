#include "scratch_registry.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace morvane::test {

ScratchRegistry::ScratchRegistry()
{
    // In memory where the system offers it: the registry syncs every write.
    std::error_code error;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0
            ? std::filesystem::path("/dev/shm")
            : std::filesystem::temp_directory_path();
    std::string pattern = (base / "morvane-registry.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch folder");
    folder_ = pattern;
    file_ = folder_ / "registry.db";
    use_file(file_);
}

ScratchRegistry::~ScratchRegistry()
{
    MorvaneRegistryReset();
    unsetenv("MORVANE_REGISTRY");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void ScratchRegistry::use_file(const std::filesystem::path &file)
{
    setenv("MORVANE_REGISTRY", file.c_str(), 1);
    MorvaneRegistryReset();
}

} // namespace morvane::test
