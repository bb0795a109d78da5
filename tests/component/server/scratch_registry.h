// A registry of the test's own: a fresh database file in a temporary folder for
// the life of the object, with helpers to read what registration wrote.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

class scratch_registry {
public:
    scratch_registry();
    ~scratch_registry();
    scratch_registry(const scratch_registry &) = delete;
    scratch_registry &operator=(const scratch_registry &) = delete;

    const std::filesystem::path &folder() const { return folder_; }

    static bool key_exists(HKEY root, const char *path);
    static void create_key(HKEY root, const char *path);
    // The REG_SZ value (default when name is null) without its terminator, if present.
    static std::optional<std::string> string_value(HKEY root, const char *path,
                                                   const char *name = nullptr);

private:
    std::filesystem::path folder_;
};
