// The code modules mapped into the process, seen through the dynamic linker:
// their module handles (the address of each one's ELF header) and file paths.
#pragma once

#include <wintypes.h>

#include <optional>
#include <string>

namespace morvane::loader {

struct LoadedImage {
    HMODULE base = nullptr;
    std::string path;  // absolute
};

// The mapped module whose ELF header is at base; none when no module starts there.
std::optional<LoadedImage> image_at(HMODULE base);

// The mapped module that a dlopen handle refers to.
std::optional<LoadedImage> image_of_dl_handle(void *dl_handle);

// The main program (the executable).
std::optional<LoadedImage> main_image();

// The absolute path of the executable file.
std::string executable_path();

// The path made absolute against the current directory, without resolving links.
std::string absolute_path(const std::string &path);

}  // namespace morvane::loader
