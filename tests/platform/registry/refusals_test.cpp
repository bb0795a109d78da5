// What the model does not reach: every refusal's result code, bad and deleted
// handles, access rights, the callers' buffer rules and the name limits.
#include "registry_fixture.h"

#include <cstdint>
#include <functional>

namespace {

HKEY const all_roots[] = {HKEY_CLASSES_ROOT,  HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                          HKEY_USERS,         HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                          HKEY_DYN_DATA};

using Refusals = RegistryTest;

// Every call that takes a key handle, on the handle given.
const std::vector<std::pair<const char *, std::function<LSTATUS(HKEY)>>> calls_on_a_handle = {
    {"open", [](HKEY key) { Key out; return RegistryTest::open(key, "X", out); }},
    {"create",
     [](HKEY key) {
         Key out;
         return RegCreateKeyExA(key, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.out(), nullptr);
     }},
    {"set value", [](HKEY key) { return RegistryTest::set_string(key, "V", "x"); }},
    {"query value",
     [](HKEY key) {
         DWORD size = 0;
         return RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size);
     }},
    {"delete value", [](HKEY key) { return RegDeleteValueA(key, "V"); }},
    {"delete key", [](HKEY key) { return RegDeleteKeyA(key, ""); }},
    {"delete tree", [](HKEY key) { return RegDeleteTreeA(key, nullptr); }},
    {"enumerate keys",
     [](HKEY key) {
         char name[64];
         DWORD size = sizeof name;
         return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
     }},
    {"enumerate values",
     [](HKEY key) {
         char name[64];
         DWORD size = sizeof name;
         return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr);
     }},
    {"query info",
     [](HKEY key) {
         return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr);
     }},
};

TEST_F(Refusals, BadAndDeletedHandlesGiveTheirCodeFromEveryCall)
{
    HKEY closed = create(HKEY_CURRENT_USER, "Closed");
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    Key doomed(create(HKEY_CURRENT_USER, "Doomed"));
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Doomed"), ERROR_SUCCESS);
    make(HKEY_CURRENT_USER, "Doomed"); // a new key of the same name is another key

    const struct {
        const char *name;
        HKEY handle;
        LSTATUS expected;
    } handles[] = {
        {"closed", closed, ERROR_INVALID_HANDLE},
        {"made up", reinterpret_cast<HKEY>(std::uintptr_t{0x7777770}), ERROR_INVALID_HANDLE},
        {"null", nullptr, ERROR_INVALID_HANDLE},
        {"deleted", doomed.get(), ERROR_KEY_DELETED},
    };
    for (const auto &handle : handles) {
        for (const auto &[call, run] : calls_on_a_handle)
            EXPECT_EQ(run(handle.handle), handle.expected) << call << " on a " << handle.name << " handle";
    }
    EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(doomed.release()), ERROR_SUCCESS);
}

TEST_F(Refusals, EachRefusalHasItsCodeAndChangesNothing)
{
    Key key(create(HKEY_CURRENT_USER, "Guarded\\Existing"));
    ASSERT_EQ(set_string(key, "V", "twelve chars"), ERROR_SUCCESS);
    make(key, "Exactly");
    Key reader, writer, generic_reader;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Guarded", reader, KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Guarded\\Existing", writer, KEY_WRITE), ERROR_SUCCESS);
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Guarded\\Existing", generic_reader, 0x80000000u), ERROR_SUCCESS);
    const std::string too_long_key = "First\\" + std::string(256, 'x');
    const std::string too_long_value(16384, 'n');
    HKEY unchanged = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});

    const struct {
        const char *what;
        std::function<LSTATUS()> call;
        LSTATUS expected;
    } rows[] = {
        {"path with a leading backslash",
         [&] { Key out; return RegCreateKeyExA(HKEY_CURRENT_USER, "\\Leading", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.out(), nullptr); },
         ERROR_BAD_PATHNAME},
        {"path with an empty level",
         [&] { Key out; return RegCreateKeyExA(HKEY_CURRENT_USER, "First\\\\Second", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.out(), nullptr); },
         ERROR_BAD_PATHNAME},
        {"opening a path with a leading backslash", [&] { Key out; return open(HKEY_CURRENT_USER, "\\Leading", out); },
         ERROR_BAD_PATHNAME},
        {"key name of 256 bytes",
         [&] { Key out; return RegCreateKeyExA(HKEY_CURRENT_USER, too_long_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.out(), nullptr); },
         ERROR_INVALID_PARAMETER},
        {"opening a missing key", [&] { return RegOpenKeyExA(HKEY_CURRENT_USER, "Guarded\\Absent", 0, KEY_READ, &unchanged); },
         ERROR_FILE_NOT_FOUND},
        {"open without a result", [&] { return RegOpenKeyExA(HKEY_CURRENT_USER, "X", 0, KEY_READ, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"create without a result",
         [&] { return RegCreateKeyExA(HKEY_CURRENT_USER, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"create without a path",
         [&] { Key out; return RegCreateKeyExA(HKEY_CURRENT_USER, nullptr, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.out(), nullptr); },
         ERROR_INVALID_PARAMETER},
        {"delete without a path", [&] { return RegDeleteKeyA(HKEY_CURRENT_USER, nullptr); }, ERROR_INVALID_PARAMETER},
        {"deleting a key with subkeys", [&] { return RegDeleteKeyA(HKEY_CURRENT_USER, "Guarded"); }, ERROR_ACCESS_DENIED},
        {"deleting a missing tree", [&] { return RegDeleteTreeA(HKEY_CURRENT_USER, "Absent"); }, ERROR_FILE_NOT_FOUND},
        {"set through a read-only handle", [&] { return set_string(reader, "V", "changed"); }, ERROR_ACCESS_DENIED},
        {"delete value through a read-only handle", [&] { return RegDeleteValueA(reader, "V"); }, ERROR_ACCESS_DENIED},
        {"delete tree through a read-only handle", [&] { return RegDeleteTreeA(reader, nullptr); }, ERROR_ACCESS_DENIED},
        {"create a new key under a read-only handle",
         [&] { Key out; return RegCreateKeyExA(reader, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.out(), nullptr); },
         ERROR_ACCESS_DENIED},
        {"set through a generic read handle", [&] { return set_string(generic_reader, "V", "y"); }, ERROR_ACCESS_DENIED},
        {"query through a write-only handle",
         [&] { DWORD size = 0; return RegQueryValueExA(writer, "V", nullptr, nullptr, nullptr, &size); },
         ERROR_ACCESS_DENIED},
        {"enumerate keys through a write-only handle", [&] { return calls_on_a_handle[7].second(writer); }, ERROR_ACCESS_DENIED},
        {"enumerate values through a write-only handle", [&] { return calls_on_a_handle[8].second(writer); }, ERROR_ACCESS_DENIED},
        {"data missing with a size", [&] { return RegSetValueExA(key, "W", 0, REG_SZ, nullptr, 4); }, ERROR_INVALID_PARAMETER},
        {"value name of 16384 bytes", [&] { return set_string(key, too_long_value.c_str(), "x"); }, ERROR_INVALID_PARAMETER},
        {"query with a buffer but no size",
         [&] { BYTE data[8]; return RegQueryValueExA(key, "V", nullptr, nullptr, data, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"query with a reserved argument",
         [&] { BYTE data[8]; DWORD size = 8, reserved = 0; return RegQueryValueExA(key, "V", &reserved, nullptr, data, &size); },
         ERROR_INVALID_PARAMETER},
        {"query without anything of a missing value",
         [&] { return RegQueryValueExA(key, "W", nullptr, nullptr, nullptr, nullptr); },
         ERROR_FILE_NOT_FOUND},
        {"deleting a missing value", [&] { return RegDeleteValueA(key, "W"); }, ERROR_FILE_NOT_FOUND},
        {"a value buffer one byte short",
         [&] { BYTE data[12]; DWORD size = 12; return RegQueryValueExA(key, "V", nullptr, nullptr, data, &size); },
         ERROR_MORE_DATA},
        {"a key name buffer without room for the terminator",
         [&] { char name[8]; DWORD size = 7; return RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr); },
         ERROR_MORE_DATA},
        {"key enumeration past the end",
         [&] { char name[8]; DWORD size = 8; return RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr); },
         ERROR_NO_MORE_ITEMS},
        {"key enumeration without a name buffer",
         [&] { DWORD size = 8; return RegEnumKeyExA(key, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"key enumeration without a size",
         [&] { char name[8]; return RegEnumKeyExA(key, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"a value name buffer without room for the terminator",
         [&] { char name[1]; DWORD size = 1; return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr); },
         ERROR_MORE_DATA},
        {"a value data buffer too small in enumeration",
         [&] { char name[8]; BYTE data[4]; DWORD size = 8, data_size = 4; return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, data, &data_size); },
         ERROR_MORE_DATA},
        {"value enumeration past the end",
         [&] { char name[8]; DWORD size = 8; return RegEnumValueA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr); },
         ERROR_NO_MORE_ITEMS},
        {"value enumeration with data but no size",
         [&] { char name[8]; BYTE data[16]; DWORD size = 8; return RegEnumValueA(key, 0, name, &size, nullptr, nullptr, data, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"summary with a reserved argument",
         [&] { DWORD reserved = 0; return RegQueryInfoKeyA(key, nullptr, nullptr, &reserved, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.call(), row.expected) << row.what;
    for (HKEY root : all_roots)
        EXPECT_EQ(RegDeleteKeyA(root, ""), ERROR_ACCESS_DENIED);

    EXPECT_EQ(unchanged, nullptr) << "a failed open clears its result";
    EXPECT_EQ(query_string(key, "V"), "twelve chars");
    EXPECT_EQ(subkeys(HKEY_CURRENT_USER), std::vector<std::string>{"Guarded"});
    EXPECT_EQ(subkeys(reader), std::vector<std::string>{"Existing"});
    EXPECT_EQ(value_names(key), std::vector<std::string>{"V"});
}

TEST_F(Refusals, SizesAreReportedWhereTheBufferIsShortOrMissing)
{
    Key key(create(HKEY_CURRENT_USER, "Buffers"));
    ASSERT_EQ(set_string(key, "Name", "twelve chars"), ERROR_SUCCESS);
    make(key, "Exactly");
    DWORD type = 0, size = 0;
    // Existence and type can be asked without any buffer or size.
    ASSERT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_SZ});
    ASSERT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 13u);
    char buffer[16];
    size = 12;
    type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(type, DWORD{REG_SZ});
    size = 13;
    ASSERT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "twelve chars");

    size = 7;
    EXPECT_EQ(RegEnumKeyExA(key, 0, buffer, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    size = 8;
    char klass[4] = {'x', 'x', 'x', 'x'};
    DWORD class_size = sizeof klass;
    FILETIME written{};
    ASSERT_EQ(RegEnumKeyExA(key, 0, buffer, &size, nullptr, klass, &class_size, &written), ERROR_SUCCESS);
    EXPECT_EQ(size, 7u);
    EXPECT_STREQ(buffer, "Exactly");
    EXPECT_EQ(class_size, 0u);
    EXPECT_EQ(klass[0], '\0');
    EXPECT_GT((std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime, 116444736000000000u);
    class_size = sizeof klass;
    klass[0] = 'x';
    written = {};
    ASSERT_EQ(RegQueryInfoKeyA(key, klass, &class_size, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, &written),
              ERROR_SUCCESS);
    EXPECT_EQ(class_size, 0u);
    EXPECT_EQ(klass[0], '\0');
    EXPECT_GT((std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime, 116444736000000000u);

    DWORD name_size = 5, data_size = 4;
    EXPECT_EQ(RegEnumValueA(key, 0, buffer, &name_size, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &data_size),
              ERROR_MORE_DATA);
    EXPECT_EQ(data_size, 13u);
    name_size = 5;
    data_size = 0;
    ASSERT_EQ(RegEnumValueA(key, 0, buffer, &name_size, nullptr, nullptr, nullptr, &data_size), ERROR_SUCCESS);
    EXPECT_EQ(name_size, 4u);
    EXPECT_EQ(data_size, 13u);
}

TEST_F(Refusals, BoundariesThatAreAccepted)
{
    // The longest name of one level, a trailing backslash, the longest value name.
    const std::string longest = "First\\" + std::string(255, 'x') + "\\";
    Key deep(create(HKEY_CURRENT_USER, longest.c_str()));
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, ("First\\" + std::string(255, 'X')).c_str()));
    const std::string longest_value(16383, 'n');
    EXPECT_EQ(set_string(deep, longest_value.c_str(), "x"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(deep, longest_value.c_str()), "x");

    // A megabyte of data and a type of no meaning come back byte for byte.
    std::vector<BYTE> large(1 << 20);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<BYTE>(i * 7 + (i >> 8));
    ASSERT_EQ(RegSetValueExA(deep, "Large", 0, 0x12345, large.data(), DWORD(large.size())), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(query(deep, "Large", &type), large);
    EXPECT_EQ(type, DWORD{0x12345});

    // A null value name is the default value, like the empty one.
    ASSERT_EQ(set_string(deep, nullptr, "default"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(deep, ""), "default");

    // Only ASCII letters fold: other bytes must match exactly.
    make(HKEY_CLASSES_ROOT, "caf\xc3\xa9");
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "CAF\xc3\x89"));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CAF\xc3\xa9"));

    // An empty or null path opens another handle to the same key, usable after
    // the first is closed.
    Key first(create(HKEY_CURRENT_USER, "Same"));
    Key second, third;
    ASSERT_EQ(open(first, "", second), ERROR_SUCCESS);
    ASSERT_EQ(open(first, nullptr, third), ERROR_SUCCESS);
    EXPECT_NE(first.get(), second.get());
    ASSERT_EQ(set_string(second, "Through", "second"), ERROR_SUCCESS);
    first.reset();
    EXPECT_EQ(query_string(third, "Through"), "second");

    // Creating a key that exists only opens it, which needs no right on the
    // parent; the new handle has the rights it asked for.
    Key parent, existing;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "First", parent, KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(parent, std::string(255, 'x').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, existing.out(), nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(set_string(existing, "Through", "the new handle"), ERROR_SUCCESS);

    // Deleting through a read-only parent, and a handle's own key, are allowed.
    make(HKEY_CURRENT_USER, "Holder\\Child");
    Key reader;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Holder", reader, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(reader, "Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(reader, ""), ERROR_SUCCESS);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Holder"));
}

TEST_F(Refusals, TheSevenRootsAreSeparateTreesAndNeedNoOpening)
{
    for (std::size_t i = 0; i < std::size(all_roots); ++i) {
        Key key(create(all_roots[i], "Shared"));
        ASSERT_EQ(set_string(key, "Root", std::to_string(i)), ERROR_SUCCESS);
    }
    for (std::size_t i = 0; i < std::size(all_roots); ++i) {
        // Closing a root is allowed and leaves it usable.
        EXPECT_EQ(RegCloseKey(all_roots[i]), ERROR_SUCCESS);
        Key key;
        ASSERT_EQ(open(all_roots[i], "Shared", key), ERROR_SUCCESS);
        EXPECT_EQ(query_string(key, "Root"), std::to_string(i));
    }
    // The 32-bit spelling of a root names the same root.
    Key key;
    ASSERT_EQ(open(reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u}), "Shared", key), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, "Root"), "0");
}

TEST_F(Refusals, TreeDeletionEmptiesOrRemovesEverythingBelow)
{
    Key deep(create(HKEY_CURRENT_USER, "Tree\\A\\B\\C"));
    Key top(create(HKEY_CURRENT_USER, "Tree"));
    make(HKEY_CURRENT_USER, "TreeSibling");
    ASSERT_EQ(set_string(top, "Top", "y"), ERROR_SUCCESS);
    // Without a subkey name the key stays, emptied of values and subkeys.
    EXPECT_EQ(RegDeleteTreeA(top, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(subkeys(top).empty());
    EXPECT_TRUE(value_names(top).empty());
    EXPECT_EQ(set_string(deep, "Deep", "x"), ERROR_KEY_DELETED);
    make(HKEY_CURRENT_USER, "Tree\\A\\B");
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Tree"), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(HKEY_CURRENT_USER), std::vector<std::string>{"TreeSibling"});
}

} // namespace
