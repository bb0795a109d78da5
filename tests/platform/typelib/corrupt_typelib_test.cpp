// Damaged files are refused with a type-library error; what is accepted walks completely.
#include "typelib_files.h"

#include "typelib/tlb_format.h"

#include <sys/stat.h>

#include <cstring>

using namespace typelib_test;
using namespace morvane::typelib::format;

namespace {

// The component's type library with accessors for its tables.
struct File {
    std::vector<std::uint8_t> bytes = read_file(MORVANE_TYPELIB);

    std::uint32_t get32(std::size_t at) const
    {
        std::uint32_t value;
        std::memcpy(&value, bytes.data() + at, sizeof value);
        return value;
    }
    void set(std::size_t at, std::uint32_t value, int width) { std::memcpy(&bytes[at], &value, std::size_t(width)); }
    static std::size_t directory(std::uint32_t table) { return header::directory + table * directory_entry_size; }
    // Offset of a field of record `index` of a table.
    std::size_t field(std::uint32_t table, std::uint32_t index, std::size_t offset) const
    {
        return get32(directory(table)) + index * record_sizes[table] + offset;
    }
};

HRESULT load_bytes(const std::vector<std::uint8_t> &bytes)
{
    ITypeLib *library = reinterpret_cast<ITypeLib *>(1);
    const HRESULT hr = load_memory(bytes, &library);
    if (SUCCEEDED(hr))
        walk(library), library->Release();
    else
        EXPECT_EQ(library, nullptr);
    return hr;
}

constexpr std::uint32_t kHeader = 0xFFFF; // a row's table: the offset is absolute
constexpr std::uint32_t kPastFile = 0xFFFFFFFEu, kDataLength = 0xFFFFFFFDu; // values taken from the file

} // namespace

TEST(CorruptTypeLib, InconsistentStructureIsRefused)
{
    const HRESULT bad = TYPE_E_INVDATAREAD;
    // What is damaged: a row's table and index, the field's offset and width, the value written.
    const std::tuple<const char *, UINT, UINT, std::size_t, int, UINT, HRESULT> cases[] = {
        {"another major version", kHeader, 0, header::major, 2, 2, TYPE_E_UNSUPFORMAT},
        {"size field larger than the file", kHeader, 0, header::file_size, 4, kPastFile, bad},
        {"too few tables", kHeader, 0, header::table_count, 4, 8, bad},
        {"a table past the end", kHeader, 0, File::directory(func_table), 4, kPastFile, bad},
        {"a record count that wraps", kHeader, 0, File::directory(param_table) + 4, 4, 0x80000000u, bad},
        {"two libraries", kHeader, 0, File::directory(library_table) + 4, 4, 2, bad},
        {"a string past its data", string_table, 0, string_ref::length, 4, 0xFFFFFFF0u, bad},
        {"strings sharing bytes", string_table, 0, string_ref::length, 4, kDataLength, bad},
        {"a UTF-8 lead byte without its follower", string_data, 0, 0, 1, 0xC0, bad},
        {"overlong UTF-8", string_data, 0, 0, 3, 0x8181E0, bad},
        {"a name index out of range", type_table, 1, type::name, 4, 0x7FFFFFFFu, bad},
        {"members not owned in order", type_table, 2, type::first_func, 4, 0, bad},
        {"a member outside its table", func_table, 0, func::vft_slot, 2, 29, bad},
        {"an unknown invoke kind", func_table, 0, func::invkind, 2, 3, bad},
        {"an unknown type kind", type_table, 0, type::kind, 2, TKIND_MODULE, bad},
        {"an interface that is its own base", impl_table, 3, impl::ref, 4, 2, bad},
        {"an import that does not exist", impl_table, 0, impl::ref, 4, 0x80000009u, bad},
        {"a parameter with a default value", param_table, 0, param::flags, 2, PARAMFLAG_FHASDEFAULT, bad},
    };
    for (const auto &[what, table, index, offset, width, written, expected] : cases) {
        SCOPED_TRACE(what);
        File file;
        const std::uint32_t value = written == kPastFile     ? static_cast<std::uint32_t>(file.bytes.size() + 1)
                                    : written == kDataLength ? file.get32(File::directory(string_data) + 4)
                                                             : written;
        file.set(table == kHeader ? offset : file.field(table, index, offset), value, width);
        EXPECT_EQ(load_bytes(file.bytes), expected);
    }
    const std::vector<std::uint8_t> whole = File().bytes;
    EXPECT_EQ(load_bytes(whole), S_OK);
    for (const std::size_t length : {header_size - 1, whole.size() / 2, whole.size() - 1, whole.size() + 1}) {
        std::vector<std::uint8_t> resized = whole;
        resized.resize(length); // the last: a zero byte after the end
        EXPECT_EQ(load_bytes(resized), bad) << "cut or lengthened to " << length;
    }
}

TEST(CorruptTypeLib, PointerChainsThatLoopOrRunDeepAreRefused)
{
    // A node pointing at itself; then nodes 1 to 8 pointing each to the one before.
    for (const std::uint32_t links : {0u, 8u}) {
        File file;
        for (std::uint32_t i = 0; i <= links; ++i) {
            file.set(file.field(typedesc_table, i, typedesc::vt), i == 0 && links ? VT_I4 : VT_PTR, 2);
            file.set(file.field(typedesc_table, i, typedesc::ref), i == 0 ? 0 : i - 1, 4);
        }
        EXPECT_EQ(load_bytes(file.bytes), TYPE_E_INVDATAREAD) << links;
    }
}

TEST(CorruptTypeLib, ALaterMinorVersionWithMoreTablesIsRead)
{
    // Insert a tenth, empty directory entry and move every table up by its size.
    File file;
    for (std::uint32_t t = 0; t < known_table_count; ++t)
        file.set(File::directory(t), file.get32(File::directory(t)) + directory_entry_size, 4);
    file.bytes.insert(file.bytes.begin() + static_cast<long>(header_size), directory_entry_size, 0);
    file.set(header::table_count, known_table_count + 1, 4);
    file.set(header::minor, 1, 2);
    file.set(header::file_size, static_cast<std::uint32_t>(file.bytes.size()), 4);
    EXPECT_EQ(load_bytes(file.bytes), S_OK);
}

// Only type libraries and modules carrying one as "TYPELIB" 1 load; the rest are refused.
TEST(CorruptTypeLib, OnlyTypeLibrariesAndModulesCarryingOneLoad)
{
    ITypeLib *library = nullptr;
    ScratchFolder folder;
    const auto pipe = folder.path() / "pipe.tlb";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const HRESULT cannot = TYPE_E_CANTLOADLIBRARY;
    const std::pair<std::filesystem::path, HRESULT> refused[] = {
        {TYPELIB_MODULE_BARE, cannot}, {TYPELIB_MODULE_OTHER, cannot}, // another number or type
        {TYPELIB_MODULE_DAMAGED, TYPE_E_INVDATAREAD}, {folder.write("empty.tlb", {}), cannot},
        {folder.write("broken.so", {0x7F, 'E', 'L', 'F', 2, 1, 1, 0}), cannot},
        {folder.write("text.tlb", {'l', 'i', 'b', 'r', 'a', 'r', 'y', ' ', '{', '}'}), cannot},
        {folder.path() / "missing.tlb", cannot}, {folder.path(), cannot}, {pipe, cannot}, {"", cannot},
    };
    for (const auto &[file, expected] : refused) {
        library = reinterpret_cast<ITypeLib *>(1);
        const std::string path = file.string();
        EXPECT_EQ(LoadTypeLib(std::u16string(path.begin(), path.end()).c_str(), &library), expected) << path;
        EXPECT_EQ(library, nullptr);
    }
    EXPECT_EQ(LoadTypeLib(nullptr, &library), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLib(u"x.tlb", nullptr), E_INVALIDARG);
}
