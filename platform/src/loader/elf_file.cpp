// Parses just enough of an ELF64 file to find one section: the file header, the
// section header table and the section-name string table. The file is untrusted
// input: every count, offset and size is bounded by the file's real size before
// anything is read, and nothing of the file is mapped or executed.
#include "loader/elf_file.h"

#include <winbase.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <file_descriptor.h>

namespace morvane::loader {
namespace {

class FileReader {
public:
    void adopt(int fd) { fd_.reset(fd); }

    // Reads exactly size bytes at offset; false on a short read or an error.
    bool read(uint64_t offset, void *out, size_t size) const
    {
        auto *p = static_cast<char *>(out);
        while (size > 0) {
            const ssize_t got = ::pread(fd_.get(), p, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            p += got;
            offset += static_cast<uint64_t>(got);
            size -= static_cast<size_t>(got);
        }
        return true;
    }

private:
    FileDescriptor fd_;
};

DWORD error_from_errno(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_BAD_FORMAT;
    }
}

bool is_elf64_little_endian(const Elf64_Ehdr &header)
{
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
           header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_ident[EI_DATA] == ELFDATA2LSB &&
           header.e_ident[EI_VERSION] == EV_CURRENT;
}

// The range [offset, offset + size) lies inside a file of file_size bytes.
bool inside(uint64_t offset, uint64_t size, uint64_t file_size)
{
    return offset <= file_size && size <= file_size - offset;
}

DWORD open_file(const std::string &path, int &fd, uint64_t &size)
{
    // Without O_NONBLOCK, opening a named pipe would wait for a writer forever.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return error_from_errno(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return error_from_errno(errno);
    if (S_ISDIR(info.st_mode))
        return ERROR_ACCESS_DENIED;
    if (!S_ISREG(info.st_mode))
        return ERROR_BAD_EXE_FORMAT;
    size = static_cast<uint64_t>(info.st_size);
    return 0;
}

// Opens an ELF64 little-endian file and reads its header; ERROR_BAD_FORMAT for
// any other file.
DWORD open_elf(const std::string &path, FileReader &file, uint64_t &file_size, Elf64_Ehdr &header)
{
    int fd = -1;
    const DWORD open_error = open_file(path, fd, file_size);
    file.adopt(fd);
    if (open_error != 0)
        return open_error;
    if (file_size < sizeof header || !file.read(0, &header, sizeof header) ||
        !is_elf64_little_endian(header))
        return ERROR_BAD_FORMAT;
    return 0;
}

}  // namespace

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the ELF reader assumes a little-endian host");

DWORD check_code_image(const std::string &path)
{
#if defined(__x86_64__)
    constexpr Elf64_Half machine = EM_X86_64;
#elif defined(__aarch64__)
    constexpr Elf64_Half machine = EM_AARCH64;
#else
#error "unknown machine"
#endif
    FileReader file;
    uint64_t file_size = 0;
    Elf64_Ehdr header{};
    if (const DWORD error = open_elf(path, file, file_size, header); error != 0)
        return error;
    if (header.e_type != ET_DYN || header.e_machine != machine ||
        header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum == 0 ||
        header.e_phnum > (file_size - std::min(header.e_phoff, file_size)) / sizeof(Elf64_Phdr))
        return ERROR_BAD_FORMAT;
    if (header.e_shoff != 0 &&
        (header.e_shentsize != sizeof(Elf64_Shdr) ||
         !inside(header.e_shoff, uint64_t(header.e_shnum) * sizeof(Elf64_Shdr), file_size)))
        return ERROR_BAD_FORMAT;

    std::vector<Elf64_Phdr> segments(header.e_phnum);
    if (!file.read(header.e_phoff, segments.data(), segments.size() * sizeof(Elf64_Phdr)))
        return ERROR_BAD_FORMAT;
    for (const Elf64_Phdr &segment : segments)
        if (segment.p_type != PT_NULL && !inside(segment.p_offset, segment.p_filesz, file_size))
            return ERROR_BAD_FORMAT;
    return 0;
}

DWORD read_resource_section(const std::string &path, std::unique_ptr<ResourceSection> &section)
{
    section.reset();
    FileReader file;
    uint64_t file_size = 0;
    Elf64_Ehdr header{};
    if (const DWORD error = open_elf(path, file, file_size, header); error != 0)
        return error;
    if (header.e_shoff == 0)
        return 0;  // no section headers, so no resources
    if (header.e_shentsize != sizeof(Elf64_Shdr))
        return ERROR_BAD_FORMAT;

    // Section 0 carries the real count and string-table index when they overflow
    // the header's 16-bit fields.
    Elf64_Shdr first{};
    if (!inside(header.e_shoff, sizeof first, file_size) ||
        !file.read(header.e_shoff, &first, sizeof first))
        return ERROR_BAD_FORMAT;
    const uint64_t count = header.e_shnum != 0 ? header.e_shnum : first.sh_size;
    const uint64_t names_index = header.e_shstrndx != SHN_XINDEX ? header.e_shstrndx : first.sh_link;
    if (count == 0 || count > (file_size - header.e_shoff) / sizeof(Elf64_Shdr))
        return ERROR_BAD_FORMAT;
    if (names_index == SHN_UNDEF)
        return 0;  // sections without names: none can be the resource section
    if (names_index >= count)
        return ERROR_BAD_FORMAT;

    std::vector<Elf64_Shdr> headers(count);
    if (!file.read(header.e_shoff, headers.data(), count * sizeof(Elf64_Shdr)))
        return ERROR_BAD_FORMAT;

    const Elf64_Shdr &names_header = headers[names_index];
    if (names_header.sh_type != SHT_STRTAB ||
        !inside(names_header.sh_offset, names_header.sh_size, file_size))
        return ERROR_BAD_FORMAT;
    std::vector<char> names(names_header.sh_size);
    if (!file.read(names_header.sh_offset, names.data(), names.size()))
        return ERROR_BAD_FORMAT;

    for (const Elf64_Shdr &candidate : headers) {
        if (candidate.sh_type == SHT_NULL)
            continue;
        if (candidate.sh_name >= names.size())
            return ERROR_BAD_FORMAT;
        const char *name = names.data() + candidate.sh_name;
        const size_t room = names.size() - candidate.sh_name;
        if (std::memchr(name, 0, room) == nullptr)
            return ERROR_BAD_FORMAT;
        if (std::strcmp(name, resource_section_name) != 0)
            continue;

        if (candidate.sh_type == SHT_NOBITS ||
            !inside(candidate.sh_offset, candidate.sh_size, file_size))
            return ERROR_BAD_FORMAT;
        std::vector<std::byte> bytes(candidate.sh_size);
        if (!file.read(candidate.sh_offset, bytes.data(), bytes.size()))
            return ERROR_BAD_FORMAT;
        section = ResourceSection::parse(std::move(bytes));
        return section ? 0 : ERROR_BAD_FORMAT;
    }
    return 0;
}

}  // namespace morvane::loader
