// Opening, creating, closing and deleting keys: paths, names, handles, rights.
#include "registry_fixture.h"

#include <cstdint>

namespace {

HKEY const all_roots[] = {HKEY_CLASSES_ROOT,  HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                          HKEY_USERS,         HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                          HKEY_DYN_DATA};

using KeyPaths = RegistryTest;
using KeyNames = RegistryTest;
using KeyHandles = RegistryTest;
using KeyDeletion = RegistryTest;
using DeletedKeys = RegistryTest;
using KeyAccess = RegistryTest;

TEST_F(KeyPaths, CreatingAPathMakesEveryLevelAndReportsWhetherTheKeyIsNew)
{
    Key key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Morvane\\Test", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.out(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY});
    ASSERT_EQ(set_string(key, "Marker", "deep"), ERROR_SUCCESS);

    // Each level exists and can be reached one at a time.
    Key software, morvane, test;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Software", software), ERROR_SUCCESS);
    ASSERT_EQ(open(software, "Morvane", morvane), ERROR_SUCCESS);
    ASSERT_EQ(open(morvane, "Test", test), ERROR_SUCCESS);
    EXPECT_EQ(query_string(test, "Marker"), "deep");

    Key again;
    disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Morvane\\Test", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, again.out(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
    EXPECT_EQ(query_string(again, "Marker"), "deep");

    // A new last level under existing ones counts as new.
    Key deeper;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Morvane\\Test\\Deeper", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, deeper.out(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_CREATED_NEW_KEY});
}

TEST_F(KeyPaths, OpeningAMissingKeyFailsAndClearsTheResult)
{
    Key made(create(HKEY_CURRENT_USER, "Present"));
    HKEY result = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Present\\Absent", 0, KEY_READ, &result),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Absent\\Present", 0, KEY_READ, &result),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Absent"));
}

TEST_F(KeyPaths, MalformedPathsAreRefusedWithoutCreatingAnything)
{
    Key key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Leading", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.out(), nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "First\\\\Second", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.out(), nullptr),
              ERROR_BAD_PATHNAME);
    const std::string too_long = "First\\" + std::string(256, 'x');
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, too_long.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.out(), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(open(HKEY_CURRENT_USER, "\\Leading", key), ERROR_BAD_PATHNAME);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "First"));
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Leading"));

    // The longest name of one level, and a trailing backslash, are accepted.
    const std::string longest = "First\\" + std::string(255, 'x') + "\\";
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, longest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.out(), nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, ("First\\" + std::string(255, 'X')).c_str()));
}

TEST_F(KeyPaths, NullArgumentsAreInvalidParameters)
{
    Key key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "X", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, nullptr, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.out(), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "X"));
}

TEST_F(KeyPaths, AnEmptyPathOpensAnotherHandleToTheSameKey)
{
    Key first(create(HKEY_CURRENT_USER, "Same"));
    Key second, third;
    ASSERT_EQ(open(first, "", second), ERROR_SUCCESS);
    ASSERT_EQ(open(first, nullptr, third), ERROR_SUCCESS);
    EXPECT_NE(first.get(), second.get());
    ASSERT_EQ(set_string(second, "Through", "second"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(first, "Through"), "second");
    EXPECT_EQ(query_string(third, "Through"), "second");
    first.reset();
    EXPECT_EQ(query_string(second, "Through"), "second");
}

TEST_F(KeyNames, CompareWithoutRegardToCaseAndKeepTheirFirstSpelling)
{
    Key made(create(HKEY_CLASSES_ROOT, "Morvane.CoMorvane\\CurVer"));
    Key upper, lower;
    ASSERT_EQ(open(HKEY_CLASSES_ROOT, "MORVANE.COMORVANE\\CURVER", upper), ERROR_SUCCESS);
    ASSERT_EQ(open(HKEY_CLASSES_ROOT, "morvane.comorvane", lower), ERROR_SUCCESS);
    ASSERT_EQ(set_string(upper, nullptr, "Morvane.CoMorvane.1"), ERROR_SUCCESS);
    EXPECT_EQ(query_string(made, nullptr), "Morvane.CoMorvane.1");

    DWORD disposition = 0;
    Key again;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "MORVANE.comorvane", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, again.out(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
    EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT), std::vector<std::string>{"Morvane.CoMorvane"});
    EXPECT_EQ(subkeys(lower), std::vector<std::string>{"CurVer"});

    // Only ASCII letters fold: other bytes must match exactly.
    Key accented(create(HKEY_CLASSES_ROOT, "caf\xc3\xa9"));
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "CAF\xc3\x89"));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CAF\xc3\xa9"));
}

TEST_F(KeyHandles, TheSevenRootsAreSeparateTreesAndNeedNoOpening)
{
    for (std::size_t i = 0; i < std::size(all_roots); ++i) {
        Key key(create(all_roots[i], "Shared"));
        ASSERT_EQ(set_string(key, "Root", std::to_string(i)), ERROR_SUCCESS);
    }
    for (std::size_t i = 0; i < std::size(all_roots); ++i) {
        Key key;
        ASSERT_EQ(open(all_roots[i], "Shared", key), ERROR_SUCCESS);
        EXPECT_EQ(query_string(key, "Root"), std::to_string(i));
        // Closing a root is allowed and leaves it usable.
        EXPECT_EQ(RegCloseKey(all_roots[i]), ERROR_SUCCESS);
        EXPECT_TRUE(exists(all_roots[i], "Shared"));
    }
    // The 32-bit spelling of a root names the same root.
    const HKEY narrow = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u});
    Key key;
    ASSERT_EQ(open(narrow, "Shared", key), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, "Root"), "0");
}

TEST_F(KeyHandles, UnknownAndClosedHandlesAreInvalid)
{
    HKEY closed = create(HKEY_CURRENT_USER, "Closed");
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    const HKEY made_up = reinterpret_cast<HKEY>(std::uintptr_t{0x7777770});
    for (HKEY bad : {closed, made_up, static_cast<HKEY>(nullptr)}) {
        Key key;
        char name[64];
        DWORD size = sizeof name;
        EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE);
        EXPECT_EQ(open(bad, "X", key), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCreateKeyExA(bad, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(),
                                  nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(set_string(bad, "V", "x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryValueExA(bad, "V", nullptr, nullptr, nullptr, &size),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteValueA(bad, "V"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteKeyA(bad, "X"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegEnumKeyExA(bad, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegEnumValueA(bad, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryInfoKeyA(bad, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
    }
}

TEST_F(KeyDeletion, OnlyKeysWithoutSubkeysCanBeDeletedAndTheirValuesGoWithThem)
{
    Key parent(create(HKEY_CURRENT_USER, "Parent\\Child"));
    ASSERT_EQ(set_string(parent, "Old", "value"), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Parent"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, "Parent\\Child"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Parent\\Missing"), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "PARENT\\child"), ERROR_SUCCESS);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Parent\\Child"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Parent\\Child"), ERROR_FILE_NOT_FOUND);

    // A key made again under the old name starts without the old values.
    Key again(create(HKEY_CURRENT_USER, "Parent\\Child"));
    LSTATUS status = ERROR_SUCCESS;
    query(again, "Old", nullptr, &status);
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
}

TEST_F(KeyDeletion, ThroughAReadOnlyParentAndOfTheHandlesOwnKey)
{
    Key child(create(HKEY_CURRENT_USER, "Holder\\Child"));
    Key reader;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Holder", reader, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(reader, "Child"), ERROR_SUCCESS);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Holder\\Child"));

    EXPECT_EQ(RegDeleteKeyA(reader, ""), ERROR_SUCCESS);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Holder"));
}

TEST_F(KeyDeletion, RootsCannotBeDeleted)
{
    for (HKEY root : all_roots)
        EXPECT_EQ(RegDeleteKeyA(root, ""), ERROR_ACCESS_DENIED);
    Key key(create(HKEY_CLASSES_ROOT, "StillThere"));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "StillThere"));
}

TEST_F(KeyDeletion, TreeDeletionRemovesEverythingBelow)
{
    Key deep(create(HKEY_CURRENT_USER, "Tree\\A\\B\\C"));
    Key side(create(HKEY_CURRENT_USER, "Tree\\A\\Side"));
    Key top(create(HKEY_CURRENT_USER, "Tree"));
    Key sibling(create(HKEY_CURRENT_USER, "TreeSibling"));
    ASSERT_EQ(set_string(deep, "Deep", "x"), ERROR_SUCCESS);
    ASSERT_EQ(set_string(top, "Top", "y"), ERROR_SUCCESS);

    // Without a subkey name the key stays, emptied of values and subkeys.
    EXPECT_EQ(RegDeleteTreeA(top, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, "Tree"));
    EXPECT_TRUE(subkeys(top).empty());
    EXPECT_TRUE(value_names(top).empty());
    EXPECT_EQ(set_string(deep, "Deep", "x"), ERROR_KEY_DELETED);

    Key again(create(HKEY_CURRENT_USER, "Tree\\A\\B"));
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Tree"), ERROR_SUCCESS);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Tree"));
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, "TreeSibling"));
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Tree"), ERROR_FILE_NOT_FOUND);
}

TEST_F(DeletedKeys, EveryCallOnAHandleOfADeletedKeyReportsIt)
{
    Key doomed(create(HKEY_CURRENT_USER, "Doomed"));
    ASSERT_EQ(set_string(doomed, "V", "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Doomed"), ERROR_SUCCESS);
    // A new key of the same name is another key.
    Key successor(create(HKEY_CURRENT_USER, "Doomed"));

    Key key;
    char name[64];
    DWORD size = sizeof name;
    EXPECT_EQ(set_string(doomed, "V", "y"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryValueExA(doomed, "V", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteValueA(doomed, "V"), ERROR_KEY_DELETED);
    EXPECT_EQ(open(doomed, "", key), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExA(doomed, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(),
                              nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(doomed, ""), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyExA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumValueA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryInfoKeyA(doomed, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_TRUE(value_names(successor).empty());
    EXPECT_EQ(RegCloseKey(doomed.release()), ERROR_SUCCESS);
}

TEST_F(KeyAccess, AReadOnlyHandleRefusesWrites)
{
    Key made(create(HKEY_CURRENT_USER, "Guarded\\Existing"));
    ASSERT_EQ(set_string(made, "V", "kept"), ERROR_SUCCESS);
    Key reader, sub;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Guarded\\Existing", reader, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(set_string(reader, "V", "changed"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(reader, "V"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteTreeA(reader, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(query_string(reader, "V"), "kept");

    Key parent;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Guarded", parent, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(parent, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.out(),
                              nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Guarded\\New"));
    // Creating a key that exists only opens it, which needs no right.
    EXPECT_EQ(RegCreateKeyExA(parent, "Existing", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              sub.out(), nullptr),
              ERROR_SUCCESS);
    // The new handle has the rights it asked for.
    EXPECT_EQ(set_string(sub, "V", "changed"), ERROR_SUCCESS);
}

TEST_F(KeyAccess, AWriteOnlyHandleRefusesReadsAndGenericRightsMap)
{
    Key made(create(HKEY_CURRENT_USER, "Guarded\\Sub"));
    Key writer;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Guarded", writer, KEY_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(set_string(writer, "V", "x"), ERROR_SUCCESS);
    DWORD size = 0;
    char name[16];
    EXPECT_EQ(RegQueryValueExA(writer, "V", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(writer, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegEnumValueA(writer, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);

    constexpr REGSAM generic_read = 0x80000000u;
    Key generic;
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Guarded", generic, generic_read), ERROR_SUCCESS);
    EXPECT_EQ(query_string(generic, "V"), "x");
    EXPECT_EQ(set_string(generic, "V", "y"), ERROR_ACCESS_DENIED);
}

} // namespace
