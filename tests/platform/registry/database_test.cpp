// The database file: where it is made and with which rights, how a process
// switches files, and what every call reports when the file is unusable.
#include "child_process.h"
#include "registry_fixture.h"

#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

using morvane::test::ChildProcess;
using morvane::test::ScratchRegistry;
using RegistryFile = RegistryTest;

mode_t mode_of(const std::filesystem::path &path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

std::string contents(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(RegistryFile, IsMadeUnderXdgDataHomeOrElseTheHomeFolderForItsOwnerOnly)
{
    // In a child, so that the changed environment and mask go with it.
    const auto data = folder_ / "data", home = folder_ / "home", file = data / "morvane" / "registry.db";
    const int failed = ChildProcess([&] {
        unsetenv("MORVANE_REGISTRY");
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        umask(0);
        MorvaneRegistryReset();
        make(HKEY_CURRENT_USER, "First");
        int failures = (mode_of(file) != 0600) | (mode_of(data / "morvane") != 0700) << 1 |
                       (mode_of(data) != 0700) << 2 | std::filesystem::exists(file_) << 3;
        for (const char *suffix : {"-wal", "-shm"}) // companions take the database's rights
            failures |= (mode_of(file.string() + suffix) & 077) << 4;
        // An empty MORVANE_REGISTRY and a relative XDG_DATA_HOME count as unset.
        setenv("MORVANE_REGISTRY", "", 1);
        setenv("XDG_DATA_HOME", "relative/data", 1);
        setenv("HOME", home.c_str(), 1);
        MorvaneRegistryReset();
        make(HKEY_CURRENT_USER, "First");
        return failures | !std::filesystem::exists(home / ".local/share/morvane/registry.db") << 5 |
               std::filesystem::exists("relative") << 6;
    }).wait(std::chrono::seconds(10));
    EXPECT_EQ(failed, 0) << "1, 2, 4: file, folder, data folder rights; 8: MORVANE_REGISTRY's file used; "
                            "16: companion rights; 32: HOME not used; 64: relative folder used";
}

TEST_F(RegistryFile, ResettingInvalidatesTheOpenHandles)
{
    HKEY key = create(HKEY_CURRENT_USER, "Handle");
    MorvaneRegistryReset();
    EXPECT_EQ(set_string(key, "V", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_NE(Key(create(HKEY_CURRENT_USER, "Handle")).get(), key) << "a later handle took an old one's value";
}

void write_file(const std::filesystem::path &path, const std::string &data)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

// Each way the file can be unusable: how it is made so, the code every call
// gives, and whether the file must be left exactly as it was.
const struct {
    const char *name;
    void (*prepare)(const std::filesystem::path &folder, const std::filesystem::path &file);
    LSTATUS code;
    bool left_alone;
} unusable_files[] = {
    {"garbage", [](const auto &, const auto &file) { write_file(file, std::string(8192, 'x')); }, ERROR_BADDB, true},
    {"another application's database", [](const auto &, const auto &file) {
         sqlite3 *db = nullptr;
         sqlite3_open(file.c_str(), &db);
         EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES ('mine');", nullptr, nullptr, nullptr), 0);
         sqlite3_close(db);
     }, ERROR_BADDB, true},
    {"a directory", [](const auto &, const auto &file) { std::filesystem::create_directory(file); }, ERROR_CANTOPEN, false},
    {"a folder that cannot be made", [](const auto &folder, const auto &) {
         write_file(folder / "plain", "not a folder");
         ScratchRegistry::use_file(folder / "plain" / "registry.db");
     }, ERROR_CANTOPEN, false},
    {"damaged tables", [](const auto &, const auto &file) {
         for (int i = 0; i < 40; ++i)
             RegistryTest::set_string(Key(RegistryTest::create(HKEY_CLASSES_ROOT, ("Class" + std::to_string(i)).c_str())),
                                      nullptr, std::string(200, 'v'));
         MorvaneRegistryReset(); // closing the only connection folds the log into the file
         std::string data = contents(file);
         ASSERT_GT(data.size(), 8192u);
         for (std::size_t i = 4096; i < data.size(); ++i) // keep the header and table list, ruin the tables
             data[i] = static_cast<char>(0xA5 ^ (i & 0xFF));
         write_file(file, data);
         std::filesystem::remove(file.string() + "-wal");
         std::filesystem::remove(file.string() + "-shm");
     }, ERROR_REGISTRY_CORRUPT, false},
};

TEST_F(RegistryFile, WhenUnusableEveryCallGivesItsCodeAndTheFileIsLeftAlone)
{
    for (const auto &row : unusable_files) {
        SCOPED_TRACE(row.name);
        scratch_.reset();
        scratch_ = std::make_unique<ScratchRegistry>();
        row.prepare(scratch_->folder(), scratch_->file());
        const std::string before = row.left_alone ? contents(scratch_->file()) : "";
        MorvaneRegistryReset();
        for (const auto &[call, run] : calls_on_a_handle())
            EXPECT_EQ(run(HKEY_CLASSES_ROOT), row.code) << call;
        HKEY key = reinterpret_cast<HKEY>(1);
        EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key), row.code);
        EXPECT_EQ(key, nullptr);
        EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS) << "closing a root needs no database";
        MorvaneRegistryReset();
        if (row.left_alone) {
            EXPECT_TRUE(contents(scratch_->file()) == before) << "the file was changed";
        }
    }
    std::filesystem::remove_all(scratch_->file());
    ScratchRegistry::use_file(scratch_->file());
    make(HKEY_CURRENT_USER, "Recovered");
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, "Recovered")) << "once the file is gone the registry works again";
}

} // namespace
