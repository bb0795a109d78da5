// Damaged module files (byte-by-byte damage is the resource reader fuzz target's):
// every truncation, damaged ELF headers and a damaged resource directory are
// refused with ERROR_BAD_FORMAT or, where the damage leaves a sound file, read
// without ever leaving the section (AddressSanitizer watches the reads).
#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

using namespace loader_test;

namespace {

// A scratch copy of the fixture that single fields can be overwritten in and restored.
class DamagedCopy {
public:
    DamagedCopy() : original_(read_file(LOADER_FIXTURE)), path_(scratch_.file("damaged.so"))
    {
        write_file(path_, original_);
    }

    const std::vector<unsigned char> &original() const { return original_; }
    const std::string &path() const { return path_; }

    template <typename T>
    T read(size_t offset) const
    {
        T value;
        std::memcpy(&value, original_.data() + offset, sizeof value);
        return value;
    }
    template <typename T>
    void write(size_t offset, T value) const
    {
        put(offset, &value, sizeof value);
    }
    void restore(size_t offset, size_t size) const { put(offset, original_.data() + offset, size); }
    // Whether the copy is refused with the one field changed; the field is restored after.
    template <typename T>
    bool refused_with(size_t offset, T value) const
    {
        write(offset, value);
        const bool result = refused();
        restore(offset, sizeof value);
        return result;
    }

    // Loads the copy as a data file. A refusal must be ERROR_BAD_FORMAT; a load must
    // give resources that can be read whole. Gives whether the file was refused.
    bool refused() const
    {
        SetLastError(0);
        HMODULE module = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (module == nullptr) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));
            return true;
        }
        read_every_resource(module);
        EXPECT_TRUE(FreeLibrary(module));
        return false;
    }

    // Offset and size of the resource section in the original file.
    std::pair<size_t, size_t> resource_section() const
    {
        Elf64_Ehdr header;
        std::memcpy(&header, original_.data(), sizeof header);
        Elf64_Shdr names;
        std::memcpy(&names, original_.data() + header.e_shoff + header.e_shstrndx * sizeof(Elf64_Shdr),
                    sizeof names);
        for (size_t i = 0; i < header.e_shnum; ++i) {
            Elf64_Shdr section;
            std::memcpy(&section, original_.data() + header.e_shoff + i * sizeof section, sizeof section);
            const char *name = reinterpret_cast<const char *>(original_.data() + names.sh_offset + section.sh_name);
            if (std::strcmp(name, ".mvrsrc") == 0)
                return {section.sh_offset, section.sh_size};
        }
        ADD_FAILURE() << "the fixture has no resource section";
        return {0, 0};
    }

    static void read_every_resource(HMODULE module)
    {
        const std::pair<LPCSTR, LPCSTR> queries[] = {
            {MAKEINTRESOURCE(101), "REGISTRY"}, {MAKEINTRESOURCE(1), "TYPELIB"},
            {"Greeting", "Custom_Type"},        {"EMPTY", MAKEINTRESOURCE(7)},
            {MAKEINTRESOURCE(2), "TYPELIB"},
        };
        for (const auto &[name, type] : queries) {
            HRSRC info = FindResourceA(module, name, type);
            if (info == nullptr)
                continue;
            const auto *data = static_cast<const unsigned char *>(LockResource(LoadResource(module, info)));
            ASSERT_NE(data, nullptr);
            volatile unsigned sum = 0; // every byte is read, under the address sanitizer's watch
            for (DWORD i = 0; i < SizeofResource(module, info); ++i)
                sum = sum + data[i];
        }
    }

private:
    void put(size_t offset, const void *data, size_t size) const
    {
        const int fd = ::open(path_.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, data, size, static_cast<off_t>(offset)), static_cast<ssize_t>(size));
        ::close(fd);
    }

    ScratchDirectory scratch_;
    std::vector<unsigned char> original_;
    std::string path_;
};

TEST(MalformedFiles, EveryTruncationIsRefused)
{
    DamagedCopy copy;
    const auto [section, section_size] = copy.resource_section();
    const size_t size = copy.original().size();
    std::vector<size_t> lengths;
    for (size_t length = 0; length < std::min<size_t>(size, 256); ++length)
        lengths.push_back(length);
    for (size_t length = 256; length < size; length += std::max<size_t>(size / 512, 1))
        lengths.push_back(length);
    for (size_t length = size > 512 ? size - 512 : 0; length < size; ++length)
        lengths.push_back(length);
    for (size_t length = section; length < section + section_size + 64 && length < size; length += 7)
        lengths.push_back(length);

    // Each cut goes to a new file: rewriting one file in place makes the file
    // system flush it every time.
    for (size_t length : lengths) {
        const std::string cut = copy.path() + "." + std::to_string(length);
        write_file(cut, {copy.original().begin(), copy.original().begin() + long(length)});
        SetLastError(0);
        EXPECT_EQ(LoadLibraryExA(cut.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr) << length;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT)) << length;
        ::unlink(cut.c_str());
    }
    // The dynamic linker refuses cut files as well, with the loader's codes.
    for (size_t length : {size_t(0), size_t(63), size / 2, size - 1}) {
        write_file(copy.path(), {copy.original().begin(), copy.original().begin() + long(length)});
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(copy.path().c_str()), nullptr) << length;
        const DWORD error = GetLastError();
        EXPECT_TRUE(error == ERROR_BAD_FORMAT || error == ERROR_MOD_NOT_FOUND) << error;
    }
}

TEST(MalformedFiles, DamagedElfAndSectionHeadersAreRefused)
{
    DamagedCopy copy;
    const auto shoff = offsetof(Elf64_Ehdr, e_shoff), shnum = offsetof(Elf64_Ehdr, e_shnum);
    const auto shstrndx = offsetof(Elf64_Ehdr, e_shstrndx);
    const auto size = copy.original().size();
    EXPECT_TRUE(copy.refused_with<uint8_t>(EI_CLASS, ELFCLASS32));
    EXPECT_TRUE(copy.refused_with<uint8_t>(EI_DATA, ELFDATA2MSB));
    EXPECT_TRUE(copy.refused_with<uint8_t>(0, 0x7e));
    for (uint64_t offset : {uint64_t(size), uint64_t(size - 8), ~uint64_t(0), ~uint64_t(0) - 63})
        EXPECT_TRUE(copy.refused_with<uint64_t>(shoff, offset)) << offset;
    EXPECT_TRUE(copy.refused_with<uint16_t>(offsetof(Elf64_Ehdr, e_shentsize), 40));
    EXPECT_TRUE(copy.refused_with<uint16_t>(shnum, 0xFFFF));
    EXPECT_TRUE(copy.refused_with<uint16_t>(shstrndx, copy.read<uint16_t>(shnum)));
    EXPECT_FALSE(copy.refused_with<uint16_t>(shstrndx, SHN_XINDEX)); // then from section 0: 0, no names

    // Counts taken from section 0 when the header's field is 0.
    const auto first_size = size_t(copy.read<uint64_t>(shoff)) + offsetof(Elf64_Shdr, sh_size);
    copy.write<uint16_t>(shnum, 0);
    EXPECT_TRUE(copy.refused_with<uint64_t>(first_size, ~uint64_t(0)));
    copy.restore(shnum, 2);

    // No section headers at all: a sound file without resources.
    copy.write<uint64_t>(shoff, 0);
    HMODULE module = LoadLibraryExA(copy.path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCE(1), "TYPELIB"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(module));
    copy.restore(shoff, 8);

    // The resource section's data past the end of the file, or not in the file at all.
    const auto header = copy.read<Elf64_Ehdr>(0);
    size_t resources = 0;
    for (size_t i = 1; i < header.e_shnum; ++i)
        if (copy.read<uint64_t>(header.e_shoff + i * sizeof(Elf64_Shdr) + offsetof(Elf64_Shdr, sh_offset)) ==
            copy.resource_section().first)
            resources = header.e_shoff + i * sizeof(Elf64_Shdr);
    ASSERT_NE(resources, 0u);
    EXPECT_TRUE(copy.refused_with<uint64_t>(resources + offsetof(Elf64_Shdr, sh_size), size));
    EXPECT_TRUE(copy.refused_with<uint32_t>(resources + offsetof(Elf64_Shdr, sh_type), SHT_NOBITS));
    EXPECT_FALSE(copy.refused());
}

TEST(MalformedFiles, ADamagedDirectoryIsRefusedOrStaysInsideTheSection)
{
    DamagedCopy copy;
    const auto [section, size] = copy.resource_section();
    ASSERT_GT(size, 16u);
    ASSERT_EQ(std::memcmp(copy.original().data() + section, "MVRSRC01", 8), 0);
    const uint32_t count = copy.read<uint32_t>(section + 8);
    ASSERT_EQ(count, 5u);

    // Fields set to values that point just outside the section.
    const size_t entry = section + 16;
    const auto section_size = static_cast<uint32_t>(size);
    struct Damage {
        size_t at;
        uint32_t value;
    };
    const Damage damages[] = {
        {section + 8, 0xFFFFFFFFu},             // a count that overflows 24-byte steps
        {entry + 16, section_size + 1},         // data starting past the end
        {entry + 20, section_size},             // data running past the end
        {entry + 16, 0xFFFFFFF8u},              // offset + size wrapping around
        {entry + 0, 0},                         // identifier 0
        {entry + 0, 0x10000},                   // identifier neither number nor string
        {entry + 4, 0x80000000u | section_size},  // string starting at the end
        {entry + 4, 0xFFFFFFFFu},               // string far outside
    };
    for (const Damage &damage : damages)
        EXPECT_TRUE(copy.refused_with(damage.at, damage.value)) << damage.at - section << " = " << damage.value;

    // Data ending exactly at the section's end is read; one byte further is refused.
    const auto data_offset = copy.read<uint32_t>(entry + 16);
    EXPECT_TRUE(copy.refused_with<uint32_t>(entry + 20, section_size - data_offset + 1));
    EXPECT_FALSE(copy.refused_with<uint32_t>(entry + 20, section_size - data_offset));

    // A string whose terminator is missing: the last name runs into the section's end.
    // Put the entry's data offset to the last byte and make that byte non-zero.
    copy.write<uint32_t>(entry + 4, 0x80000000u | (section_size - 1));
    copy.write<unsigned char>(section + size - 1, 'A');
    EXPECT_TRUE(copy.refused());
}

}  // namespace
