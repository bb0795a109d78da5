// A registry of the caller's own: a fresh database file in a new temporary
// folder, named through MORVANE_REGISTRY for the life of the object. Header
// only, so that tests which link the platform runtime alone can use it too.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>

namespace morvane::test {

class ScratchRegistry {
public:
    ScratchRegistry()
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
    // Drops the connection, forgets the variable and removes the folder.
    ~ScratchRegistry()
    {
        MorvaneRegistryReset();
        unsetenv("MORVANE_REGISTRY");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ScratchRegistry(const ScratchRegistry &) = delete;
    ScratchRegistry &operator=(const ScratchRegistry &) = delete;

    const std::filesystem::path &folder() const { return folder_; }
    const std::filesystem::path &file() const { return file_; }

    // Switches this process to another registry file.
    static void use_file(const std::filesystem::path &file)
    {
        setenv("MORVANE_REGISTRY", file.c_str(), 1);
        MorvaneRegistryReset();
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path file_;
};

} // namespace morvane::test
