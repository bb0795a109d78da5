// Reads the resource section of a module file by parsing its ELF64 headers as data.
#pragma once

#include "loader/resource_section.h"

#include <wintypes.h>

#include <memory>
#include <string>

namespace morvane::loader {

// Opens the file, checks that it is a little-endian ELF64 file with sound section
// headers and reads its resource section. Returns 0 or the system error code
// (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_BAD_FORMAT).
// A well-formed file without a resource section gives 0 and a null section.
DWORD read_resource_section(const std::string &path, std::unique_ptr<ResourceSection> &section);

// Checks, before the dynamic linker maps a file, that it is a shared object for this
// machine whose program headers, segments and section headers all lie inside the
// file: the dynamic linker trusts them, and a cut file would fault when touched.
// Returns 0 or the system error code (ERROR_BAD_FORMAT for an unusable file).
DWORD check_code_image(const std::string &path);

}  // namespace morvane::loader
