// A registry of the caller's own: a fresh database file in a new temporary
// folder, named through MORVANE_REGISTRY for the life of the object.
#pragma once

#include <filesystem>

namespace morvane::test {

class ScratchRegistry {
public:
    ScratchRegistry();
    // Drops the connection, forgets the variable and removes the folder.
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry &) = delete;
    ScratchRegistry &operator=(const ScratchRegistry &) = delete;

    const std::filesystem::path &folder() const { return folder_; }
    const std::filesystem::path &file() const { return file_; }

    // Switches this process to another registry file.
    static void use_file(const std::filesystem::path &file);

private:
    std::filesystem::path folder_;
    std::filesystem::path file_;
};

} // namespace morvane::test
