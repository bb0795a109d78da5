// Type libraries carried by module files as their resource "TYPELIB" 1.
#include "typelib/load_type_lib.h"

#include "typelib/reader.h"

#include <winbase.h>

namespace morvane::typelib {

namespace {
// Frees a data-file module when the load is over; the library keeps its own copy.
class DataFile {
public:
    explicit DataFile(const char *path) : module_(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataFile()
    {
        if (module_)
            FreeLibrary(module_);
    }
    DataFile(const DataFile &) = delete;
    DataFile &operator=(const DataFile &) = delete;
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};
} // namespace

HRESULT load_from_module(const char *path, ITypeLib **out)
{
    *out = nullptr;
    const DataFile file(path);
    if (!file.get())
        return TYPE_E_CANTLOADLIBRARY;
    const HRSRC resource = FindResourceA(file.get(), MAKEINTRESOURCEA(1), "TYPELIB");
    if (!resource)
        return TYPE_E_CANTLOADLIBRARY;
    const HGLOBAL data = LoadResource(file.get(), resource);
    const void *bytes = data ? LockResource(data) : nullptr;
    if (!bytes)
        return TYPE_E_CANTLOADLIBRARY;
    const DWORD size = SizeofResource(file.get(), resource);
    return load_from_bytes(static_cast<const std::uint8_t *>(bytes), size, out);
}

} // namespace morvane::typelib
