// A registry of the caller's own: fresh user and machine database files in a
// new temporary folder, named through MORVANE_REGISTRY and
// MORVANE_MACHINE_REGISTRY for the life of the object, so that no test touches
// the system's registry. Header only, so that tests which link the platform
// runtime alone can use it too.
#pragma once

#include "scratch_folder.h"

#include <windows.h>

#include <string>
#include <unistd.h>

namespace morvane::test {

class ScratchRegistry {
public:
    ScratchRegistry()
    {
        setenv("MORVANE_MACHINE_REGISTRY", machine_file_.c_str(), 1);
        use_file(file_);
    }
    // Drops the connection and forgets the variables; the folder goes after.
    ~ScratchRegistry()
    {
        MorvaneRegistryReset();
        unsetenv("MORVANE_REGISTRY");
        unsetenv("MORVANE_MACHINE_REGISTRY");
    }
    ScratchRegistry(const ScratchRegistry &) = delete;
    ScratchRegistry &operator=(const ScratchRegistry &) = delete;

    const std::filesystem::path &folder() const { return folder_.path(); }
    // The user's file and the machine's.
    const std::filesystem::path &file() const { return file_; }
    const std::filesystem::path &machine_file() const { return machine_file_; }

#ifdef MORVANE_INSTALLED_COMPONENT
    // What a client says when the tracker's class is not registered in this registry.
    std::string unregistered_message() const
    {
        return "the class Morvane.CoMorvane is not registered in " + file_.string() + " or " + machine_file_.string() +
               "; register the installed component with `regsvr " MORVANE_INSTALLED_COMPONENT "` (for you) or, as "
               "root, `regsvr --machine " MORVANE_INSTALLED_COMPONENT "` (for every user)";
    }
#endif

    // Switches this process to another user's registry file.
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
    std::filesystem::path machine_file_ = folder_.path() / "machine.db";
};

} // namespace morvane::test
