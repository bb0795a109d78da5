// The database file: where it is made, unusable, updated, deleted, replaced or read-only.
#include "child_process.h"
#include "registry_fixture.h"
#include "scratch_folder.h"

#include <map>
#include <sys/stat.h>

namespace {

using morvane::test::ChildProcess;
using morvane::test::ScratchRegistry;
using RegistryFile = RegistryTest;

unsigned mode_of(const std::filesystem::path &path)
{
    return unsigned(std::filesystem::status(path).permissions());
}

TEST_F(RegistryFile, IsMadeUnderXdgDataHomeOrElseTheHomeFolderForItsOwnerOnlyAndTheMachinesForAllToRead)
{
    // In a child, so that the changed environment and mask go with it.
    const auto data = folder_ / "data", home = folder_ / "home", file = data / "morvane" / "registry.db";
    const auto machine = folder_ / "var" / "lib" / "registry.db";
    const int failed = ChildProcess([&] {
        unsetenv("MORVANE_REGISTRY");
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        setenv("MORVANE_MACHINE_REGISTRY", machine.c_str(), 1);
        umask(077);
        MorvaneRegistryReset();
        make(HKEY_CURRENT_USER, "First");
        int failures = (mode_of(file) != 0600) | (mode_of(data / "morvane") != 0700) << 1 |
                       (mode_of(data) != 0700) << 2 | std::filesystem::exists(file_) << 3;
        make(HKEY_LOCAL_MACHINE, "Software\\First");
        failures |= (mode_of(machine) != 0644 || mode_of(machine.parent_path()) != 0755) << 4;
        // An empty MORVANE_REGISTRY and a relative XDG_DATA_HOME count as unset.
        setenv("MORVANE_REGISTRY", "", 1);
        setenv("XDG_DATA_HOME", "relative/data", 1);
        setenv("HOME", home.c_str(), 1);
        MorvaneRegistryReset();
        make(HKEY_CURRENT_USER, "First");
        return failures | !std::filesystem::exists(home / ".local/share/morvane/registry.db") << 5 |
               std::filesystem::exists("relative") << 6;
    }).wait(std::chrono::seconds(10));
    EXPECT_EQ(failed, 0) << "rights 1 file, 2 folder, 4 data, 16 machine; 8 old file, 32 no HOME, 64 relative";
}

// How the file is made unusable, the code every call gives, whether the file is left alone.
const struct {
    const char *name;
    void (*prepare)(const std::filesystem::path &folder, const std::filesystem::path &file);
    LSTATUS code;
    bool left_alone;
} unusable_files[] = {
    {"garbage", [](const auto &, const auto &file) { test_support::write_file(file, std::vector<std::uint8_t>(8192, 'x')); }, ERROR_BADDB, true},
    {"another application's database", [](const auto &, const auto &file) { run_sql(file, "CREATE TABLE notes(text)"); }, ERROR_BADDB, true},
};

TEST_F(RegistryFile, WhenUnusableEveryCallGivesItsCodeAndTheFileIsLeftAlone)
{
    for (const auto &row : unusable_files) {
        SCOPED_TRACE(row.name);
        scratch_.reset(), scratch_ = std::make_unique<ScratchRegistry>();
        row.prepare(scratch_->folder(), scratch_->file());
        const auto before = row.left_alone ? test_support::read_file(scratch_->file()) : std::vector<std::uint8_t>();
        MorvaneRegistryReset();
        for (const auto &[call, run] : calls_on_a_handle())
            EXPECT_EQ(run(HKEY_CLASSES_ROOT), row.code) << call;
        EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS) << "closing a root needs no database";
        MorvaneRegistryReset();
        EXPECT_TRUE(!row.left_alone || test_support::read_file(scratch_->file()) == before) << "the file was changed";
    }
}

// Each call on a root, whether it writes, and its answer from an empty registry.
TEST_F(RegistryFile, AMissingFileReadsAsEmptyAndOnlyAWriteMakesIt)
{
    const std::map<std::string, std::pair<bool, LSTATUS>> answers = {
        {"open", {false, ERROR_FILE_NOT_FOUND}}, {"create", {true, ERROR_SUCCESS}},
        {"set value", {true, ERROR_SUCCESS}}, {"query value", {false, ERROR_FILE_NOT_FOUND}},
        {"delete value", {false, ERROR_FILE_NOT_FOUND}}, {"delete key", {false, ERROR_ACCESS_DENIED}},
        {"delete tree", {false, ERROR_SUCCESS}}, {"enumerate keys", {false, ERROR_NO_MORE_ITEMS}},
        {"enumerate values", {false, ERROR_NO_MORE_ITEMS}}, {"query info", {false, ERROR_SUCCESS}},
    };
    const std::tuple<const char *, HKEY, std::filesystem::path> roots[] = {
        {"classes", HKEY_CLASSES_ROOT, file_}, {"user", HKEY_CURRENT_USER, file_},
        {"machine", HKEY_LOCAL_MACHINE, scratch_->machine_file()}};
    for (const auto &[root_name, root, made] : roots) {
        for (const auto &[call, run] : calls_on_a_handle()) {
            SCOPED_TRACE(std::string(root_name) + ": " + call);
            const auto [writes, answer] = answers.at(call);
            EXPECT_EQ(run(root), answer);
            EXPECT_EQ(std::filesystem::exists(made), writes);
            EXPECT_FALSE(writes && std::filesystem::exists(made == file_ ? scratch_->machine_file() : file_));
            std::filesystem::remove(made);
        }
    }
    EXPECT_EQ(std::filesystem::directory_iterator(folder_), std::filesystem::directory_iterator()) << "a file left";
    // Where no file can be made, writes give the reason and reads stay empty.
    test_support::write_file(folder_ / "plain", {'n', 'o'});
    ScratchRegistry::use_file(folder_ / "plain" / "registry.db");
    EXPECT_EQ(set_string(HKEY_CURRENT_USER, "V", "x"), ERROR_CANTOPEN);
    LSTATUS status = ERROR_SUCCESS;
    query(HKEY_CLASSES_ROOT, "V", nullptr, &status);
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFile, AnUpdateKeepsOrDropsEveryCallWithin)
{
    const std::pair<std::vector<BOOL>, bool> cases[] = {
        // how each level ends (innermost first), whether the key stays
        {{TRUE}, true}, {{FALSE}, false}, {{TRUE, TRUE}, true}, {{FALSE, TRUE}, false}, {{TRUE, FALSE}, false},
    };
    for (const auto &[ends, kept] : cases) {
        for (std::size_t level = 0; level < ends.size(); ++level)
            ASSERT_EQ(MorvaneRegistryBeginUpdate(), ERROR_SUCCESS);
        EXPECT_EQ(set_string(Key(create(HKEY_CURRENT_USER, "Software\\Updated")), "value", "set"), ERROR_SUCCESS);
        EXPECT_EQ(query_string(Key(create(HKEY_CURRENT_USER, "Software\\Updated")), "value"), "set") << "the update reads its own write";
        for (BOOL keep : ends)
            EXPECT_EQ(MorvaneRegistryEndUpdate(keep), ERROR_SUCCESS);
        EXPECT_EQ(exists(HKEY_CURRENT_USER, "Software\\Updated"), kept) << ends.size() << " levels";
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Updated");
    }
    EXPECT_EQ(MorvaneRegistryEndUpdate(TRUE), ERROR_INVALID_FUNCTION);

    // A database failure within rolls the whole update back and is reported.
    make(HKEY_CURRENT_USER, "Software\\Loop\\Back");
    ASSERT_EQ(run_sql(file_, "UPDATE keys SET parent = (SELECT id FROM keys WHERE fold = CAST('BACK' AS BLOB)) WHERE id = 2"), "");
    ASSERT_EQ(MorvaneRegistryBeginUpdate(), ERROR_SUCCESS);
    make(HKEY_USERS, "Software\\Written");
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software"), ERROR_BADDB);
    EXPECT_EQ(MorvaneRegistryEndUpdate(TRUE), ERROR_BADDB);
    EXPECT_FALSE(exists(HKEY_USERS, "Software\\Written"));
}

// The next call works on the file at the path; older handles fail rather than write elsewhere.
TEST_F(RegistryFile, ADeletedOrReplacedFileIsFollowedAndOlderHandlesFail)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced by another registry" : "deleted");
        const auto other = folder_ / "other.db";
        if (replaced) {
            ScratchRegistry::use_file(other);
            make(HKEY_CURRENT_USER, "Software\\FromOther");
        }
        ScratchRegistry::use_file(file_);
        Key before(create(HKEY_CURRENT_USER, "Software\\Before"));
        ASSERT_EQ(set_string(before, "first", "1"), ERROR_SUCCESS);
        replaced ? std::filesystem::rename(other, file_) : void(std::filesystem::remove(file_));
        EXPECT_EQ(set_string(before, "second", "2"), ERROR_KEY_DELETED);
        make(HKEY_CURRENT_USER, "Software\\After");
        EXPECT_EQ(run_sql(file_, "SELECT 1 FROM keys WHERE fold = CAST('AFTER' AS BLOB)"), "1");
        EXPECT_EQ(exists(HKEY_CURRENT_USER, "Software\\FromOther"), replaced);
        EXPECT_FALSE(exists(HKEY_CURRENT_USER, "Software\\Before"));
        MorvaneRegistryReset();
        std::filesystem::remove(file_);
    }
}

TEST_F(RegistryFile, AReadOnlyFileServesReadsAndDeniesWrites)
{
    ASSERT_EQ(set_string(Key(create(HKEY_CURRENT_USER, "Software\\Sample")), "kept", "yes"), ERROR_SUCCESS);
    MorvaneRegistryReset();
    ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
    ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
    // In a child, without the superuser's rights: the number of the first check that failed.
    const int failed = ChildProcess([] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 10;
        Key key, created;
        if (open(HKEY_CURRENT_USER, "Software\\Sample", key) != 0 || query_string(key, "kept") != "yes")
            return 1;
        const LSTATUS writes[] = {set_string(key, "new", "x"), RegDeleteValueA(key, "kept"),
                                  LSTATUS(MorvaneRegistryBeginUpdate()),
                                  RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, created.out(), nullptr)};
        for (std::size_t i = 0; i < std::size(writes); ++i)
            if (writes[i] != ERROR_ACCESS_DENIED)
                return int(2 + i);
        return 0;
    }).wait(std::chrono::seconds(10));
    EXPECT_EQ(failed, 0);
    chmod(folder_.c_str(), 0700);
}

} // namespace
