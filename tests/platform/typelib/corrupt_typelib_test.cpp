// Type library files are read without trusting them: truncated, damaged or
// inconsistent files are refused with a type-library error, and whatever is
// accepted can be walked completely.
#include "typelib_files.h"
#include "typelib_walk.h"

#include "typelib/tlb_format.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

using namespace typelib_test;

namespace {

// The component's type library with accessors for its tables.
class File {
public:
    File() : bytes(component_typelib()) {}

    std::uint32_t get32(std::size_t at) const
    {
        std::uint32_t value;
        std::memcpy(&value, bytes.data() + at, sizeof value);
        return value;
    }
    void set16(std::size_t at, std::uint16_t value) { std::memcpy(bytes.data() + at, &value, sizeof value); }
    void set32(std::size_t at, std::uint32_t value) { std::memcpy(bytes.data() + at, &value, sizeof value); }
    std::size_t directory(std::uint32_t table) const
    {
        return mvtlb::header::directory + table * mvtlb::kDirectoryEntrySize;
    }
    std::uint32_t count(std::uint32_t table) const { return get32(directory(table) + 4); }
    // Offset of a field of record `index` of a table.
    std::size_t field(std::uint32_t table, std::uint32_t index, std::size_t offset) const
    {
        return get32(directory(table)) + index * mvtlb::kRecordSize[table] + offset;
    }

    std::vector<std::uint8_t> bytes;
};

class CorruptTypeLib : public ::testing::Test {
protected:
    HRESULT load_bytes(const std::vector<std::uint8_t> &bytes)
    {
        ITypeLib *library = reinterpret_cast<ITypeLib *>(1);
        const HRESULT hr = load_memory(bytes, &library);
        if (SUCCEEDED(hr)) {
            walk(library);
            library->Release();
        } else {
            EXPECT_EQ(library, nullptr);
        }
        return hr;
    }

    ScratchFolder folder_;
};

} // namespace

TEST_F(CorruptTypeLib, TheIntactFileLoadsAndEveryTruncationIsRefused)
{
    const std::vector<std::uint8_t> whole = File().bytes;
    EXPECT_EQ(load_bytes(whole), S_OK);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const HRESULT hr = load_bytes({whole.begin(), whole.begin() + static_cast<long>(length)});
        EXPECT_TRUE(hr == TYPE_E_INVDATAREAD || hr == TYPE_E_UNSUPFORMAT || hr == TYPE_E_CANTLOADLIBRARY)
            << "length " << length << " gave " << std::hex << hr;
    }
}

TEST_F(CorruptTypeLib, InconsistentStructureIsRefused)
{
    struct Case {
        const char *what;
        void (*damage)(File &);
        HRESULT expected;
    };
    const Case cases[] = {
        {"another major version", [](File &f) { f.set16(mvtlb::header::major, 2); }, TYPE_E_UNSUPFORMAT},
        {"size field larger than the file",
         [](File &f) { f.set32(mvtlb::header::file_size, static_cast<std::uint32_t>(f.bytes.size() + 1)); },
         TYPE_E_INVDATAREAD},
        {"bytes after the end", [](File &f) { f.bytes.push_back(0); }, TYPE_E_INVDATAREAD},
        {"too few tables", [](File &f) { f.set32(mvtlb::header::table_count, 8); }, TYPE_E_INVDATAREAD},
        {"a table past the end",
         [](File &f) { f.set32(f.directory(mvtlb::kFuncTable), static_cast<std::uint32_t>(f.bytes.size())); },
         TYPE_E_INVDATAREAD},
        {"a record count that wraps",
         [](File &f) { f.set32(f.directory(mvtlb::kParamTable) + 4, 0x80000000u); }, TYPE_E_INVDATAREAD},
        {"a string past its data",
         [](File &f) { f.set32(f.field(mvtlb::kStringTable, 0, mvtlb::string_ref::length), 0xFFFFFFF0u); },
         TYPE_E_INVDATAREAD},
        {"strings sharing bytes",
         [](File &f) {
             f.set32(f.field(mvtlb::kStringTable, 0, mvtlb::string_ref::length), f.count(mvtlb::kStringData));
         },
         TYPE_E_INVDATAREAD},
        {"malformed UTF-8",
         [](File &f) { f.bytes[f.field(mvtlb::kStringData, 0, 0)] = 0xC0; }, TYPE_E_INVDATAREAD},
        {"a name index out of range",
         [](File &f) { f.set32(f.field(mvtlb::kTypeTable, 1, mvtlb::type::name), 0x7FFFFFFFu); },
         TYPE_E_INVDATAREAD},
        {"members not owned in order",
         [](File &f) { f.set32(f.field(mvtlb::kTypeTable, 2, mvtlb::type::first_func), 0); },
         TYPE_E_INVDATAREAD},
        {"a member outside its table",
         [](File &f) { f.set16(f.field(mvtlb::kFuncTable, 0, mvtlb::func::vft_slot), 29); },
         TYPE_E_INVDATAREAD},
        {"an unknown invoke kind",
         [](File &f) { f.set16(f.field(mvtlb::kFuncTable, 0, mvtlb::func::invkind), 3); },
         TYPE_E_INVDATAREAD},
        {"an unknown type kind",
         [](File &f) { f.set16(f.field(mvtlb::kTypeTable, 0, mvtlb::type::kind), TKIND_MODULE); },
         TYPE_E_INVDATAREAD},
        {"a type node pointing at itself",
         [](File &f) {
             f.set16(f.field(mvtlb::kTypeDescTable, 0, mvtlb::typedesc::vt), VT_PTR);
             f.set32(f.field(mvtlb::kTypeDescTable, 0, mvtlb::typedesc::ref), 0);
         },
         TYPE_E_INVDATAREAD},
        {"an interface that is its own base",
         [](File &f) { f.set32(f.field(mvtlb::kImplTable, 3, mvtlb::impl::ref), 2); }, TYPE_E_INVDATAREAD},
        {"an import that does not exist",
         [](File &f) { f.set32(f.field(mvtlb::kImplTable, 0, mvtlb::impl::ref), 0x80000009u); },
         TYPE_E_INVDATAREAD},
        {"a parameter with a default value",
         [](File &f) { f.set16(f.field(mvtlb::kParamTable, 0, mvtlb::param::flags), PARAMFLAG_FHASDEFAULT); },
         TYPE_E_INVDATAREAD},
        {"two libraries", [](File &f) { f.set32(f.directory(mvtlb::kLibraryTable) + 4, 2); }, TYPE_E_INVDATAREAD},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        File file;
        c.damage(file);
        EXPECT_EQ(load_bytes(file.bytes), c.expected);
    }
}

TEST_F(CorruptTypeLib, DeepPointerChainsAreRefused)
{
    // Nodes 1 to 8 become pointers, each to the one before: nine nodes in one chain.
    File file;
    ASSERT_GE(file.count(mvtlb::kTypeDescTable), 9u);
    for (std::uint32_t i = 1; i < 9; ++i) {
        file.set16(file.field(mvtlb::kTypeDescTable, i, mvtlb::typedesc::vt), VT_PTR);
        file.set32(file.field(mvtlb::kTypeDescTable, i, mvtlb::typedesc::ref), i - 1);
    }
    file.set16(file.field(mvtlb::kTypeDescTable, 0, mvtlb::typedesc::vt), VT_I4);
    file.set32(file.field(mvtlb::kTypeDescTable, 0, mvtlb::typedesc::ref), 0);
    EXPECT_EQ(load_bytes(file.bytes), TYPE_E_INVDATAREAD);
}

TEST_F(CorruptTypeLib, ALaterMinorVersionWithMoreTablesIsRead)
{
    // Insert a tenth, empty directory entry and move every table up by its size.
    File file;
    const std::size_t grow = mvtlb::kDirectoryEntrySize;
    for (std::uint32_t t = 0; t < mvtlb::kTableCount; ++t)
        file.set32(file.directory(t), file.get32(file.directory(t)) + static_cast<std::uint32_t>(grow));
    file.bytes.insert(file.bytes.begin() + static_cast<long>(mvtlb::kHeaderSize), grow, 0);
    file.set32(mvtlb::header::table_count, mvtlb::kTableCount + 1);
    file.set16(mvtlb::header::minor, 1);
    file.set32(mvtlb::header::file_size, static_cast<std::uint32_t>(file.bytes.size()));
    ITypeLib *library = nullptr;
    ASSERT_EQ(load(folder_.write("later.tlb", file.bytes), &library), S_OK);
    EXPECT_EQ(library->GetTypeInfoCount(), 3u);
    library->Release();
}

TEST_F(CorruptTypeLib, FilesThatAreNoTypeLibraryCannotBeLoaded)
{
    ITypeLib *library = reinterpret_cast<ITypeLib *>(1);
    EXPECT_EQ(load(folder_.path() / "missing.tlb", &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
    EXPECT_EQ(load(folder_.path(), &library), TYPE_E_CANTLOADLIBRARY);
    const auto pipe = folder_.path() / "pipe.tlb";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(load(pipe, &library), TYPE_E_CANTLOADLIBRARY); // refused, not waited on
    EXPECT_EQ(load_bytes({}), TYPE_E_CANTLOADLIBRARY);
    const std::string text = "library MORVANELib {}";
    EXPECT_EQ(load_bytes(std::vector<std::uint8_t>(text.begin(), text.end())), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadTypeLib(nullptr, &library), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLib(u"x.tlb", nullptr), E_INVALIDARG);
    EXPECT_EQ(LoadTypeLib(u"", &library), TYPE_E_CANTLOADLIBRARY);
}
