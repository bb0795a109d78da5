// What the model does not reach: refusals' codes, bad handles, rights, buffers and name limits.
#include "registry_fixture.h"
#include "registry_tree.h"

#include <chrono>
#include <cstdint>

namespace {

HKEY const all_roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE, HKEY_USERS,
                          HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};

using Refusals = RegistryTest;

LSTATUS create_in(HKEY parent, const char *path)
{
    Key out;
    return RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.out(), nullptr);
}
LSTATUS enum_key(HKEY key, DWORD size, char *name, LPDWORD reserved = nullptr, char *klass = nullptr) { return RegEnumKeyExA(key, 0, name, &size, reserved, klass, nullptr, nullptr); }
LSTATUS enum_value(HKEY key, DWORD size, char *name, LPDWORD reserved = nullptr) { return RegEnumValueA(key, 0, name, &size, reserved, nullptr, nullptr, nullptr); }

TEST_F(Refusals, BadAndDeletedHandlesGiveTheirCodeFromEveryCall)
{
    HKEY closed = create(HKEY_CURRENT_USER, "Closed");
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    Key doomed(create(HKEY_CURRENT_USER, "Doomed"));
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Doomed"), ERROR_SUCCESS);
    const std::tuple<const char *, HKEY, LSTATUS> handles[] = {
        {"closed", closed, ERROR_INVALID_HANDLE},
        {"null", nullptr, ERROR_INVALID_HANDLE},
        {"deleted", doomed, ERROR_KEY_DELETED},
    };
    for (const auto &[name, handle, expected] : handles)
        for (const auto &[call, run] : calls_on_a_handle())
            EXPECT_EQ(run(handle), expected) << call << " on a " << name << " handle";
    EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
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
    const std::string too_long_key = "First\\" + std::string(256, 'x'), too_long_value(16384, 'n');
    HKEY unchanged = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});
    char name[16];
    BYTE data[16];
    DWORD size = 0, reserved = 0;
    const std::tuple<const char *, std::function<LSTATUS()>, LSTATUS> rows[] = {
        {"a leading backslash", [&] { return create_in(HKEY_CURRENT_USER, "\\Leading"); }, ERROR_BAD_PATHNAME},
        {"an empty level", [&] { return create_in(HKEY_CURRENT_USER, "First\\\\Second"); }, ERROR_BAD_PATHNAME},
        {"key name of 256 bytes", [&] { return create_in(HKEY_CURRENT_USER, too_long_key.c_str()); }, ERROR_INVALID_PARAMETER},
        {"opening a missing key", [&] { return RegOpenKeyExA(HKEY_CURRENT_USER, "Guarded\\Absent", 0, KEY_READ, &unchanged); }, ERROR_FILE_NOT_FOUND},
        {"open without a result", [&] { return RegOpenKeyExA(HKEY_CURRENT_USER, "X", 0, KEY_READ, nullptr); }, ERROR_INVALID_PARAMETER},
        {"create without a result", [&] { return RegCreateKeyExA(HKEY_CURRENT_USER, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
        {"create without a path", [&] { return create_in(HKEY_CURRENT_USER, nullptr); }, ERROR_INVALID_PARAMETER},
        {"delete without a path", [&] { return RegDeleteKeyA(HKEY_CURRENT_USER, nullptr); }, ERROR_INVALID_PARAMETER},
        {"delete value through a read-only handle", [&] { return RegDeleteValueA(reader, "V"); }, ERROR_ACCESS_DENIED},
        {"delete tree through a read-only handle", [&] { return RegDeleteTreeA(reader, nullptr); }, ERROR_ACCESS_DENIED},
        {"a new key under a read-only handle", [&] { return create_in(reader, "New"); }, ERROR_ACCESS_DENIED},
        {"set through a generic read handle", [&] { return set_string(generic_reader, "V", "y"); }, ERROR_ACCESS_DENIED},
        {"query through a write-only handle", [&] { return RegQueryValueExA(writer, "V", nullptr, nullptr, nullptr, &size); }, ERROR_ACCESS_DENIED},
        {"enumerate keys through a write-only handle", [&] { return enum_key(writer, 16, name); }, ERROR_ACCESS_DENIED},
        {"enumerate values through a write-only handle", [&] { return enum_value(writer, 16, name); }, ERROR_ACCESS_DENIED},
        {"data missing with a size", [&] { return RegSetValueExA(key, "W", 0, REG_SZ, nullptr, 4); }, ERROR_INVALID_PARAMETER},
        {"value name of 16384 bytes", [&] { return set_string(key, too_long_value.c_str(), "x"); }, ERROR_INVALID_PARAMETER},
        {"query with a buffer but no size", [&] { return RegQueryValueExA(key, "V", nullptr, nullptr, data, nullptr); }, ERROR_INVALID_PARAMETER},
        {"query with a reserved argument", [&] { size = 16; return RegQueryValueExA(key, "V", &reserved, nullptr, data, &size); }, ERROR_INVALID_PARAMETER},
        {"a key name without room for its terminator", [&] { return enum_key(key, 7, name); }, ERROR_MORE_DATA},
        {"key enumeration without a name buffer", [&] { return enum_key(key, 16, nullptr); }, ERROR_INVALID_PARAMETER},
        {"key enumeration with a reserved argument", [&] { return enum_key(key, 16, name, &reserved); }, ERROR_INVALID_PARAMETER},
        {"key enumeration with a class but no size", [&] { return enum_key(key, 16, name, nullptr, name); }, ERROR_INVALID_PARAMETER},
        {"key enumeration without a size", [&] { return RegEnumKeyExA(key, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
        {"a value name without room for its terminator", [&] { return enum_value(key, 1, name); }, ERROR_MORE_DATA},
        {"value enumeration without a name buffer", [&] { return enum_value(key, 16, nullptr); }, ERROR_INVALID_PARAMETER},
        {"value enumeration without a name size", [&] { return RegEnumValueA(key, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
        {"value enumeration with a reserved argument", [&] { return enum_value(key, 16, name, &reserved); }, ERROR_INVALID_PARAMETER},
        {"value data too small in enumeration", [&] { size = 4; DWORD name_size = 16; return RegEnumValueA(key, 0, name, &name_size, nullptr, nullptr, data, &size); }, ERROR_MORE_DATA},
        {"value data but no size in enumeration", [&] { DWORD name_size = 16; return RegEnumValueA(key, 0, name, &name_size, nullptr, nullptr, data, nullptr); }, ERROR_INVALID_PARAMETER},
        {"summary with a class but no size", [&] { return RegQueryInfoKeyA(key, name, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
        {"summary with a reserved argument", [&] { return RegQueryInfoKeyA(key, nullptr, nullptr, &reserved, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr); }, ERROR_INVALID_PARAMETER},
    };
    const std::string before = morvane::test::tree_text(morvane::test::registry_tree(HKEY_CURRENT_USER));
    for (const auto &[what, call, expected] : rows)
        EXPECT_EQ(call(), expected) << what;
    for (HKEY root : all_roots)
        EXPECT_EQ(RegDeleteKeyA(root, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(unchanged, nullptr) << "a failed open clears its result";

    // A short buffer is told the size it needs; existence and type need no buffer or size.
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, &type, data, &(size = 12)), ERROR_MORE_DATA);
    EXPECT_EQ(std::pair(size, type), std::pair(DWORD{13}, DWORD{REG_SZ}));
    EXPECT_EQ(RegQueryValueExA(key, "V", nullptr, &(type = 0), nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_SZ});
    // Keys have an empty class and a time of last writing: now, in 100 ns units since 1601.
    const auto now = (std::chrono::system_clock::now().time_since_epoch() / std::chrono::seconds(1) + 11644473600) * 10000000;
    size = 8;
    for (bool enumerate : {true, false}) {
        char klass[4] = {'x'};
        DWORD class_size = sizeof klass;
        FILETIME written{};
        ASSERT_EQ(enumerate ? RegEnumKeyExA(key, 0, name, &size, nullptr, klass, &class_size, &written)
                            : RegQueryInfoKeyA(key, klass, &class_size, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &written), 0);
        EXPECT_EQ(std::string(klass) + std::to_string(class_size), "0");
        EXPECT_NEAR(double((std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime), double(now), 36e9);
    }
    EXPECT_EQ(std::string(name, size), "Exactly") << "the name and its length, without the terminator";
    EXPECT_EQ(morvane::test::tree_text(morvane::test::registry_tree(HKEY_CURRENT_USER)), before);
}

// The longest names, a trailing backslash and exact non-ASCII bytes are accepted; so are creating
// a key that exists and deleting a key through a read-only parent or its own handle.
TEST_F(Refusals, BoundariesThatAreAccepted)
{
    Key deep(create(HKEY_CURRENT_USER, ("First\\" + std::string(255, 'x') + "\\").c_str()));
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, ("First\\" + std::string(255, 'X')).c_str()));
    const std::string longest_value(16383, 'n');
    EXPECT_EQ(set_string(deep, longest_value.c_str(), "x"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(deep, longest_value.c_str()), "x");
    make(HKEY_CLASSES_ROOT, "caf\xc3\xa9");
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "CAF\xc3\x89"));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CAF\xc3\xa9"));

    Key parent, existing, reader;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "First", parent, KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(parent, std::string(255, 'x').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, existing.out(), nullptr), 0);
    EXPECT_EQ(set_string(existing, "Through", "the new handle"), ERROR_SUCCESS);

    make(HKEY_CURRENT_USER, "Holder\\Child");
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Holder", reader, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(reader, "Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(reader, ""), ERROR_SUCCESS);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Holder"));
}

// RegGetValueA: a value below a key, of a type the flags accept; each refusal with its code.
TEST_F(Refusals, GetValueReadsBelowAKeyOnlyTheTypesAsked)
{
    ASSERT_EQ(set_string(Key(create(HKEY_CURRENT_USER, "Got\\Below")), "text", "twelve chars"), ERROR_SUCCESS);
    char data[32] = {};
    // The status, and the size it reports where it reports one.
    const auto get = [&](const char *below, const char *name, DWORD flags, DWORD room) {
        DWORD size = room;
        const LSTATUS status = RegGetValueA(HKEY_CURRENT_USER, below, name, flags, nullptr, room ? data : nullptr, &size);
        return std::pair(status, status == ERROR_SUCCESS || status == ERROR_MORE_DATA ? size : DWORD(0));
    };
    using Got = std::pair<LSTATUS, DWORD>;
    const std::tuple<const char *, Got, Got> rows[] = {
        {"text", get("Got\\Below", "text", RRF_RT_REG_SZ, sizeof data), {ERROR_SUCCESS, 13}},
        {"any type", get("Got\\Below", "text", RRF_RT_ANY, sizeof data), {ERROR_SUCCESS, 13}},
        {"the size alone", get("Got\\Below", "text", RRF_RT_REG_SZ | RRF_RT_REG_DWORD, 0), {ERROR_SUCCESS, 13}},
        {"one byte short", get("Got\\Below", "text", RRF_RT_REG_SZ, 12), {ERROR_MORE_DATA, 13}},
        {"another type", get("Got\\Below", "text", RRF_RT_REG_DWORD | RRF_RT_REG_BINARY, sizeof data), {ERROR_UNSUPPORTED_TYPE, 0}},
        {"no type", get("Got\\Below", "text", 0, sizeof data), {ERROR_INVALID_PARAMETER, 0}},
        {"an unknown flag", get("Got\\Below", "text", RRF_RT_REG_SZ | 0x100000, sizeof data), {ERROR_INVALID_PARAMETER, 0}},
        {"a missing key", get("Got\\Absent", "text", RRF_RT_ANY, sizeof data), {ERROR_FILE_NOT_FOUND, 0}},
        {"a missing value", get("Got\\Below", "other", RRF_RT_ANY, sizeof data), {ERROR_FILE_NOT_FOUND, 0}},
    };
    for (const auto &[name, got, expected] : rows)
        EXPECT_EQ(got, expected) << name;
    EXPECT_EQ(get("Got\\Below", "text", RRF_RT_REG_SZ, sizeof data), Got(ERROR_SUCCESS, 13));
    EXPECT_STREQ(data, "twelve chars");
}

TEST_F(Refusals, TheSevenRootsAreSeparateTreesAndNeedNoOpening)
{
    for (std::size_t i = 0; i < std::size(all_roots); ++i) {
        EXPECT_EQ(query_string(all_roots[i], "Root"), "") << "an earlier root's value";
        ASSERT_EQ(set_string(all_roots[i], "Root", std::to_string(i)), ERROR_SUCCESS);
        EXPECT_EQ(RegCloseKey(all_roots[i]), ERROR_SUCCESS);
    }
    // Closed, a root stays usable; its 32-bit spelling names the same root.
    EXPECT_EQ(query_string(reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u}), "Root"), "0");
}

} // namespace
