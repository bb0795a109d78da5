// A registry of the caller's own: a fresh database file in a new temporary
// folder, named through MORVANE_REGISTRY for the life of the object. Header
// only, so that tests which link the platform runtime alone can use it too.
#pragma once

#include "scratch_folder.h"

#include <windows.h>

#include <unistd.h>

namespace morvane::test {

class ScratchRegistry {
public:
    ScratchRegistry() { use_file(file_); }
    // Drops the connection and forgets the variable; the folder goes after.
    ~ScratchRegistry()
    {
        MorvaneRegistryReset();
        unsetenv("MORVANE_REGISTRY");
    }
    ScratchRegistry(const ScratchRegistry &) = delete;
    ScratchRegistry &operator=(const ScratchRegistry &) = delete;

    const std::filesystem::path &folder() const { return folder_.path(); }
    const std::filesystem::path &file() const { return file_; }

    // Switches this process to another registry file.
    static void use_file(const std::filesystem::path &file)
    {
        setenv("MORVANE_REGISTRY", file.c_str(), 1);
        MorvaneRegistryReset();
    }

private:
    // In memory where the system offers it: the registry syncs every write.
    static std::filesystem::path base()
    {
        return access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
    }

    test_support::ScratchFolder folder_{base()};
    std::filesystem::path file_ = folder_.path() / "registry.db";
};

} // namespace morvane::test
