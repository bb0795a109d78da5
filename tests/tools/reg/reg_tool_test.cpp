// The reg command: what query prints, what delete removes, and each failure's status and message.
#include "child_process.h"
#include "registry_fixture.h"

namespace {

using RegTool = RegistryTest;
// The exit status (-1 when reg did not exit normally), standard output and standard error.
using RegRun = std::tuple<int, std::string, std::string>;

const std::string tracker_key = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

// Bounded, so that a reg that loops fails the test instead of hanging it.
RegRun reg(std::vector<std::string> args, const std::string &input = "")
{
    args.insert(args.begin(), REG_TOOL);
    const auto result = morvane::test::run_child({args, "", {}, std::chrono::seconds(30), input});
    return {result.exit_status, result.out, result.err};
}

TEST_F(RegTool, QueryListsValuesWithTheirTypesThenTheSubkeysOrTheWholeSubtree)
{
    Key key(create(HKEY_CURRENT_USER, "Software\\Sample"));
    const std::tuple<const char *, DWORD, std::string> values[] = {
        {nullptr, REG_SZ, {"default text", 13}}, {"Number", REG_DWORD, {"\x2a\0\0\0", 4}},
        {"Bytes", REG_BINARY, {"\x0a\xff\0", 3}}, {"List", REG_MULTI_SZ, {"one\0two\0", 9}}, {"Bare", REG_SZ, "abc"}};
    for (const auto &[name, type, data] : values)
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()), DWORD(data.size())), 0);
    ASSERT_EQ(set_string(Key(create(key, "Second")), "Inner", "below"), ERROR_SUCCESS);
    make(key, "first");
    const std::string sample = "\nHKEY_CURRENT_USER\\Software\\Sample\n"
                               "    (Default)    REG_SZ    default text\n"
                               "    Number    REG_DWORD    0x2a\n"
                               "    Bytes    REG_BINARY    0AFF00\n"
                               "    List    REG_MULTI_SZ    one\\0two\n"
                               "    Bare    REG_SZ    abc\n";
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Sample"}),
              RegRun(0, sample + "\nHKEY_CURRENT_USER\\Software\\Sample\\first\nHKEY_CURRENT_USER\\Software\\Sample\\Second\n", ""));
    EXPECT_EQ(reg({"query", "hkey_current_user\\Software\\Sample\\", "/S"}),
              RegRun(0, sample + "\nHKEY_CURRENT_USER\\Software\\Sample\\first\n\nHKEY_CURRENT_USER\\Software\\Sample\\Second\n"
                                 "    Inner    REG_SZ    below\n", ""));
}

TEST_F(RegTool, DeleteRemovesTheSubtreeAndNothingElseAfterConsent)
{
    make(HKEY_CLASSES_ROOT, (tracker_key + "\\InprocServer32").c_str());
    make(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}");
    const std::string prompt = "Permanently delete the registry key HKEY_CLASSES_ROOT\\CLSID (Yes/No)? ";
    EXPECT_EQ(reg({"delete", "HKCR\\CLSID"}, "n\n"), RegRun(1, prompt + "\n", "reg: HKEY_CLASSES_ROOT\\CLSID: not deleted\n"));
    EXPECT_EQ(std::get<0>(reg({"delete", "HKCR\\CLSID"})), 1) << "no answer at all is no consent either";
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, tracker_key.c_str()));
    EXPECT_EQ(reg({"delete", "HKCR\\" + tracker_key, "/f"}), RegRun(0, "The operation completed successfully.\n", ""));
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, tracker_key.c_str()));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}"));
    EXPECT_EQ(reg({"delete", "HKCR\\CLSID"}, "Yes\n"), RegRun(0, prompt + "The operation completed successfully.\n", ""));
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "CLSID"));
}

// Each failure: its exit status and message, and nothing printed on standard output.
TEST_F(RegTool, FailuresNameTheKeyTheReasonAndTheRegistry)
{
    const std::string user = file_.string(), machine = scratch_->machine_file().string();
    EXPECT_EQ(reg({"query", "HKLM\\Software"}), RegRun(1, "", "reg: HKEY_LOCAL_MACHINE\\Software: the key does not exist (error 2); "
                                                              "the registry file " + machine + " does not exist\n"));
    make(HKEY_CURRENT_USER, "Software");
    const std::string missing = "reg: HKEY_CLASSES_ROOT\\CLSID\\{missing}: the key does not exist (error 2) in the registries " +
                                user + " and " + machine + "\n";
    const std::pair<std::vector<std::string>, std::string> failures[] = { // an empty message: usage, exit status 2
        {{"query", "HKCR\\CLSID\\{missing}"}, missing},
        {{"delete", "HKCR\\CLSID\\{missing}", "/f"}, missing},
        {{"delete", "HKCR", "/f"}, "reg: HKEY_CLASSES_ROOT: a root key cannot be deleted\n"},
        {{"query", "HKXX\\CLSID"}, "reg: HKXX\\CLSID: unknown root key (use HKCR, HKCU, HKLM, HKU, HKCC, HKPD or HKDD)\n"},
        {{}, ""}, {{"query"}, ""}, {{"list", "HKCR"}, ""}, {{"query", "HKCR", "/f"}, ""}, {{"delete", "HKCR\\X", "/s"}, ""},
    };
    for (const auto &[args, err] : failures) {
        RegRun run = reg(args);
        if (err.empty())
            std::get<2>(run).clear();
        EXPECT_EQ(run, RegRun(err.empty() ? 2 : 1, "", err));
    }
    std::filesystem::create_directory(folder_ / "directory.db"); // a database that cannot be opened
    morvane::test::ScratchRegistry::use_file(folder_ / "directory.db");
    EXPECT_EQ(reg({"query", "HKCU\\Software"}),
              RegRun(1, "", "reg: HKEY_CURRENT_USER\\Software: the registry database cannot be opened (error 1011) in the registry " +
                                (folder_ / "directory.db").string() + "\n"));
}

// Names one byte over the limits among names that fit: reg reports each and shows the others.
TEST_F(RegTool, OverlongNamesOrAParentCycleInTheFileAreReportedWithoutSpinning)
{
    Key key(create(HKEY_CURRENT_USER, "Software\\Odd"));
    ASSERT_EQ(set_string(key, "kept", "shown"), ERROR_SUCCESS);
    make(key, "Zed");
    ASSERT_EQ(run_sql(file_, "INSERT INTO vals(key, name, fold, type, data) SELECT id, zeroblob(16384), x'00', 1,"
                             " x'00' FROM keys WHERE fold = CAST('ODD' AS BLOB);"
                             "INSERT INTO keys(parent, name, fold, written) SELECT id, zeroblob(256), x'00', 0"
                             " FROM keys WHERE fold = CAST('ODD' AS BLOB)"), "");
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Odd", "/s"}),
              RegRun(1, "\nHKEY_CURRENT_USER\\Software\\Odd\n    kept    REG_SZ    shown\n\nHKEY_CURRENT_USER\\Software\\Odd\\Zed\n",
                     "reg: HKEY_CURRENT_USER\\Software\\Odd: value 1: a name is longer than the registry allows (error 234)\n"
                     "reg: HKEY_CURRENT_USER\\Software\\Odd: subkey 0: a name is longer than the registry allows (error 234)\n"));
    // HKEY_CURRENT_USER's row made a child of a key below it: query /s stops where the keys repeat.
    make(HKEY_CURRENT_USER, "Software\\Loop\\Back");
    ASSERT_EQ(run_sql(file_, "UPDATE keys SET parent = (SELECT id FROM keys WHERE fold = CAST('BACK' AS BLOB)),"
                             " name = CAST(name AS BLOB), fold = CAST(fold AS BLOB) WHERE id = 2"), "");
    const std::string cycle = "the registry file is not a registry database, or its keys do not form a tree (error 1009)\n";
    const auto [status, out, err] = reg({"query", "HKCU", "/s"});
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("\nHKEY_CURRENT_USER\\Software\\Loop\\Back\\HKEY_CURRENT_USER\n"), std::string::npos);
    EXPECT_NE(err.find(cycle), std::string::npos) << err;
}

} // namespace
