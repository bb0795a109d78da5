// Damaged module files are refused with ERROR_BAD_FORMAT or read without leaving the section.
#include "module_reading.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <elf.h>
#include <string_view>
#include <tuple>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Loads the bytes as a data file and reads every resource whole; whether the file was refused.
bool refused(const Bytes &bytes)
{
    // Each file is new: rewriting one file in place makes the file system flush it every time.
    static const test_support::ScratchFolder scratch;
    static int files = 0;
    const auto path = scratch.write(std::to_string(++files) + ".so", bytes);
    SetLastError(0);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    std::filesystem::remove(path);
    if (!module) {
        EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_FORMAT));
        return true;
    }
    const std::pair<LPCSTR, LPCSTR> queries[] = {{MAKEINTRESOURCE(101), "REGISTRY"}, {MAKEINTRESOURCE(1), "TYPELIB"},
                                                 {"Greeting", "Custom_Type"}, {"EMPTY", MAKEINTRESOURCE(7)}};
    for (const auto &[name, type] : queries) { // every byte is read, under the address sanitizer's watch
        const std::vector<std::uint8_t> read = resource_bytes(module, name, type);
        [[maybe_unused]] volatile int sum = std::accumulate(read.begin(), read.end(), 0);
    }
    EXPECT_TRUE(FreeLibrary(module));
    return false;
}

using Write = std::tuple<size_t, size_t, uint64_t>; // offset, width in bytes, value (little-endian)

template <typename T>
T field(const Bytes &bytes, size_t at)
{
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

TEST(MalformedFiles, DamagedOrCutFilesAreRefusedOrReadInsideTheSection)
{
    const Bytes original = test_support::read_file(LOADER_FIXTURE);
    const auto header = field<Elf64_Ehdr>(original, 0);
    const std::string_view magic = "MVRSRC01";
    const size_t section = std::search(original.begin(), original.end(), magic.begin(), magic.end()) - original.begin();
    size_t resources = 0; // the resource section's header
    for (size_t i = 1; i < header.e_shnum; ++i)
        if (field<Elf64_Shdr>(original, header.e_shoff + i * sizeof(Elf64_Shdr)).sh_offset == section)
            resources = header.e_shoff + i * sizeof(Elf64_Shdr);
    ASSERT_NE(resources, 0u);
    const auto size = static_cast<uint32_t>(field<Elf64_Shdr>(original, resources).sh_size);
    ASSERT_EQ(field<uint32_t>(original, section + 8), 5u);
    const size_t entry = section + 16, shoff = offsetof(Elf64_Ehdr, e_shoff), shnum = offsetof(Elf64_Ehdr, e_shnum);
    const uint32_t data_offset = field<uint32_t>(original, entry + 16);
    const size_t file_size = original.size(), first_size = header.e_shoff + offsetof(Elf64_Shdr, sh_size);

    const struct {
        const char *what;
        std::vector<Write> writes;
        bool refused;
    } cases[] = {
        {"nothing", {}, false}, {"32-bit class", {{EI_CLASS, 1, ELFCLASS32}}, true},
        {"big-endian data", {{EI_DATA, 1, ELFDATA2MSB}}, true}, {"magic", {{0, 1, 0x7e}}, true},
        {"section headers at the end", {{shoff, 8, file_size}}, true},
        {"section header offset wrapping", {{shoff, 8, ~uint64_t(0) - 63}}, true},
        {"section header offset all ones", {{shoff, 8, ~uint64_t(0)}}, true},
        {"section header size", {{offsetof(Elf64_Ehdr, e_shentsize), 2, 40}}, true},
        {"section count", {{shnum, 2, 0xFFFF}}, true},
        {"name section out of range", {{offsetof(Elf64_Ehdr, e_shstrndx), 2, header.e_shnum}}, true},
        {"name section from section 0, which has none", {{offsetof(Elf64_Ehdr, e_shstrndx), 2, SHN_XINDEX}}, false},
        {"section count from section 0, huge", {{shnum, 2, 0}, {first_size, 8, ~uint64_t(0)}}, true},
        {"no section headers: no resources", {{shoff, 8, 0}}, false},
        {"resource section past the file", {{resources + offsetof(Elf64_Shdr, sh_size), 8, file_size}}, true},
        {"resource section not in the file", {{resources + offsetof(Elf64_Shdr, sh_type), 4, SHT_NOBITS}}, true},
        {"entry count overflowing 24-byte steps", {{section + 8, 4, 0xFFFFFFFF}}, true},
        {"data starting past the end", {{entry + 16, 4, size + 1}}, true},
        {"data offset and size wrapping", {{entry + 16, 4, 0xFFFFFFF8}}, true},
        {"data ending one byte past the section", {{entry + 20, 4, size - data_offset + 1}}, true},
        {"data ending exactly at the section's end", {{entry + 20, 4, size - data_offset}}, false},
        {"identifier 0", {{entry, 4, 0}}, true},
        {"identifier neither number nor string", {{entry, 4, 0x10000}}, true},
        {"name starting at the section's end", {{entry + 4, 4, 0x80000000u | size}}, true},
        {"name far outside", {{entry + 4, 4, 0xFFFFFFFF}}, true},
        {"name without its zero", {{entry + 4, 4, 0x80000000u | (size - 1)}, {section + size - 1, 1, 'A'}}, true},
    };
    for (const auto &c : cases) {
        Bytes bytes = original;
        for (const auto &[at, width, value] : c.writes)
            std::memcpy(bytes.data() + at, &value, width);
        EXPECT_EQ(refused(bytes), c.refused) << c.what;
    }
}

}  // namespace
