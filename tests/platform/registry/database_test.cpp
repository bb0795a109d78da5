// The database file: where it is made and with which rights, how a process
// switches files, and what every call reports when the file is unusable.
#include "registry_fixture.h"

#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

using RegistryFile = RegistryTest;
using UnusableRegistry = RegistryTest;

mode_t mode_of(const std::filesystem::path &path)
{
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::string contents(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::filesystem::path &path, const std::string &data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// Restores an environment variable when it goes.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name)
    {
        if (const char *old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char *name_;
    bool had_ = false;
    std::string old_;
};

// Every call that needs the database, each expected to give the same code.
void expect_every_call_fails_with(LSTATUS expected)
{
    HKEY key = nullptr;
    char name[64];
    DWORD size = sizeof name;
    DWORD disposition = 0;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), expected);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, &disposition),
              expected);
    EXPECT_EQ(key, nullptr);
    const BYTE data[] = {'x', 0};
    EXPECT_EQ(RegSetValueExA(HKEY_CLASSES_ROOT, "V", 0, REG_SZ, data, 2), expected);
    EXPECT_EQ(RegQueryValueExA(HKEY_CLASSES_ROOT, "V", nullptr, nullptr, nullptr, &size), expected);
    EXPECT_EQ(RegDeleteValueA(HKEY_CLASSES_ROOT, "V"), expected);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID"), expected);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID"), expected);
    EXPECT_EQ(RegEnumKeyExA(HKEY_CLASSES_ROOT, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              expected);
    size = sizeof name;
    EXPECT_EQ(RegEnumValueA(HKEY_CLASSES_ROOT, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              expected);
    EXPECT_EQ(RegQueryInfoKeyA(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              expected);
    // Closing a root needs no database.
    EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS);
}

TEST_F(RegistryFile, IsMadeOnFirstUseUnderXdgDataHomeReadableByItsOwnerOnly)
{
    const std::filesystem::path data = folder_ / "data";
    ScopedEnv registry("MORVANE_REGISTRY", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", data.c_str());
    const mode_t old_mask = umask(0);
    MorvaneRegistryReset();
    make(HKEY_CURRENT_USER, "First");
    umask(old_mask);

    const std::filesystem::path file = data / "morvane" / "registry.db";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(mode_of(file), 0600u);
    EXPECT_EQ(mode_of(data / "morvane"), 0700u);
    EXPECT_EQ(mode_of(data), 0700u);
    // Its companion files take the database's rights.
    for (const char *suffix : {"-wal", "-shm"}) {
        const std::filesystem::path companion = file.string() + suffix;
        if (std::filesystem::exists(companion)) {
            EXPECT_EQ(mode_of(companion), 0600u) << companion;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(RegistryFile, FallsBackToTheHomeFolderWithoutAnAbsoluteXdgDataHome)
{
    const std::filesystem::path home = folder_ / "home";
    ScopedEnv registry("MORVANE_REGISTRY", "");
    ScopedEnv xdg("XDG_DATA_HOME", "relative/data");
    ScopedEnv home_env("HOME", home.c_str());
    MorvaneRegistryReset();
    make(HKEY_CURRENT_USER, "First");
    EXPECT_TRUE(std::filesystem::exists(home / ".local/share/morvane/registry.db"));
    EXPECT_FALSE(std::filesystem::exists("relative"));
}

TEST_F(RegistryFile, KeepsItsContentAcrossConnectionsAndEachFileIsItsOwnRegistry)
{
    {
        Key key(create(HKEY_CLASSES_ROOT, "Persistent"));
        ASSERT_EQ(set_string(key, nullptr, "first file"), ERROR_SUCCESS);
    }
    const std::filesystem::path other = folder_ / "other" / "registry.db";
    use_file(other);
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "Persistent"));
    {
        Key key(create(HKEY_CLASSES_ROOT, "Persistent"));
        ASSERT_EQ(set_string(key, nullptr, "second file"), ERROR_SUCCESS);
    }
    use_file(file_);
    Key key;
    ASSERT_EQ(open(HKEY_CLASSES_ROOT, "Persistent", key, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, nullptr), "first file");
}

TEST_F(RegistryFile, ResettingInvalidatesTheOpenHandles)
{
    HKEY key = create(HKEY_CURRENT_USER, "Handle");
    MorvaneRegistryReset();
    EXPECT_EQ(set_string(key, "V", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    // Handles made afterwards never take an old handle's value.
    Key fresh(create(HKEY_CURRENT_USER, "Handle"));
    EXPECT_NE(fresh.get(), key);
}

// Each way the file can be unusable: how it is made so, the code every call
// gives, and whether the file must be left exactly as it was.
struct Unusable {
    const char *name;
    void (*prepare)(const std::filesystem::path &folder, const std::filesystem::path &file);
    LSTATUS code;
    bool left_alone;
};

const Unusable unusable_files[] = {
    {"garbage",
     [](const std::filesystem::path &, const std::filesystem::path &file) {
         std::string garbage(8192, '\0');
         for (std::size_t i = 0; i < garbage.size(); ++i)
             garbage[i] = static_cast<char>((i * 131 + 7) & 0xFF);
         write_file(file, garbage);
     },
     ERROR_BADDB, true},
    {"another application's database",
     [](const std::filesystem::path &, const std::filesystem::path &file) {
         sqlite3 *db = nullptr;
         ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
         ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES ('mine');",
                                nullptr, nullptr, nullptr),
                   SQLITE_OK);
         sqlite3_close(db);
     },
     ERROR_BADDB, true},
    {"a directory", [](const std::filesystem::path &, const std::filesystem::path &file) { std::filesystem::create_directory(file); },
     ERROR_CANTOPEN, false},
    {"a folder that cannot be made",
     [](const std::filesystem::path &folder, const std::filesystem::path &) {
         write_file(folder / "plain", "not a folder");
         RegistryTest::use_file(folder / "plain" / "registry.db");
     },
     ERROR_CANTOPEN, false},
    {"damaged tables",
     [](const std::filesystem::path &, const std::filesystem::path &file) {
         for (int i = 0; i < 40; ++i) {
             Key key(RegistryTest::create(HKEY_CLASSES_ROOT, RegistryTest::numbered("Class", i).c_str()));
             ASSERT_EQ(RegistryTest::set_string(key, nullptr, std::string(200, 'v')), ERROR_SUCCESS);
         }
         // Closing the only connection folds the log into the file.
         MorvaneRegistryReset();
         std::string data = contents(file);
         ASSERT_GT(data.size(), 8192u);
         // Keep the first page (header and table list); ruin the tables.
         for (std::size_t i = 4096; i < data.size(); ++i)
             data[i] = static_cast<char>(0xA5 ^ (i & 0xFF));
         write_file(file, data);
         std::filesystem::remove(file.string() + "-wal");
         std::filesystem::remove(file.string() + "-shm");
     },
     ERROR_REGISTRY_CORRUPT, false},
};

TEST_F(UnusableRegistry, EveryCallGivesTheFilesCodeAndTheFileIsLeftAlone)
{
    for (const Unusable &row : unusable_files) {
        SCOPED_TRACE(row.name);
        scratch_.reset();
        scratch_ = std::make_unique<morvane::test::ScratchRegistry>();
        row.prepare(scratch_->folder(), scratch_->file());
        const std::string before = row.left_alone ? contents(scratch_->file()) : "";
        MorvaneRegistryReset();
        expect_every_call_fails_with(row.code);
        MorvaneRegistryReset();
        if (row.left_alone) {
            EXPECT_TRUE(contents(scratch_->file()) == before) << "the file was changed";
        }
    }
    // Once the file is gone the registry works again.
    std::filesystem::remove_all(scratch_->file());
    RegistryTest::use_file(scratch_->file());
    make(HKEY_CURRENT_USER, "Recovered");
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, "Recovered"));
}

} // namespace
