// LoadTypeLib: a type library file of this runtime's format, or a module file that
// carries one as its resource "TYPELIB" 1.
#include "typelib/load_type_lib.h"

#include "typelib/reader.h"
#include "typelib/type_library.h"

#include <boundary.h>

#include <oleauto.h>
#include <winbase.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <file_descriptor.h>

namespace morvane::typelib {

namespace {

// Larger files are not type libraries of any use to a process.
constexpr off_t max_file_size = 64 * 1024 * 1024;

class File {
public:
    // Non-blocking, so that naming a pipe cannot hang the caller; it is then refused
    // as not a regular file.
    explicit File(const char *path) : fd_(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}

    bool is_open() const { return fd_.get() >= 0; }

    // Reads exactly `size` bytes from the current position.
    bool read(std::uint8_t *data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t got = ::read(fd_.get(), data, size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            data += got;
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }
    bool regular_size(off_t &size) const
    {
        struct stat info;
        if (::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        size = info.st_size;
        return true;
    }

private:
    FileDescriptor fd_;
};

bool utf8_path(LPCOLESTR file, std::string &path)
{
    const int needed = WideCharToMultiByte(CP_UTF8, 0, file, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 1)
        return false;
    path.assign(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, file, -1, path.data(), needed, nullptr, nullptr) != needed)
        return false;
    path.pop_back(); // the terminating zero
    return path.find('\0') == std::string::npos;
}

constexpr std::uint8_t elf_magic[4] = {0x7F, 'E', 'L', 'F'};

} // namespace

HRESULT load_from_bytes(const std::uint8_t *data, std::size_t size, ITypeLib **out)
{
    *out = nullptr;
    std::unique_ptr<LibraryModel> model;
    const HRESULT hr = read_typelib(data, size, model);
    if (FAILED(hr))
        return hr;
    return TypeLibrary::create(std::move(model), out);
}

HRESULT load_from_file(const char *path, ITypeLib **out)
{
    *out = nullptr;
    File file(path);
    off_t size = 0;
    if (!file.is_open() || !file.regular_size(size))
        return TYPE_E_CANTLOADLIBRARY;
    std::uint8_t magic[4] = {};
    if (size < static_cast<off_t>(sizeof magic) || !file.read(magic, sizeof magic))
        return TYPE_E_CANTLOADLIBRARY;
    if (std::memcmp(magic, elf_magic, sizeof magic) == 0)
        return load_from_module(path, out);
    if (!has_typelib_magic(magic, sizeof magic))
        return TYPE_E_CANTLOADLIBRARY;
    if (size > max_file_size)
        return TYPE_E_INVDATAREAD;
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    std::memcpy(bytes.data(), magic, sizeof magic);
    if (!file.read(bytes.data() + sizeof magic, bytes.size() - sizeof magic))
        return TYPE_E_INVDATAREAD;
    return load_from_bytes(bytes.data(), bytes.size(), out);
}

} // namespace morvane::typelib

EXTERN_C MVAPI HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib **pptlib)
{
    if (!pptlib)
        return E_INVALIDARG;
    *pptlib = nullptr;
    if (!szFile)
        return E_INVALIDARG;
    return morvane::guarded(morvane::hresult_failures, [&]() -> HRESULT {
        std::string path;
        if (!morvane::typelib::utf8_path(szFile, path))
            return TYPE_E_CANTLOADLIBRARY;
        return morvane::typelib::load_from_file(path.c_str(), pptlib);
    });
}
