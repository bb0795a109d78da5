// The reg command: what query prints, what delete removes, and the exit
// status and message of each failure.
#include "reg_run.h"

namespace {

const std::string tracker_key = "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}";

TEST_F(RegTool, QueryListsValuesWithTheirTypesThenTheSubkeys)
{
    Key key(create(HKEY_CURRENT_USER, "Software\\Sample"));
    const std::tuple<const char *, DWORD, std::string> values[] = {
        {nullptr, REG_SZ, {"default text", 13}}, {"Number", REG_DWORD, {"\x2a\0\0\0", 4}},
        {"Bytes", REG_BINARY, {"\x0a\xff\0", 3}}, {"List", REG_MULTI_SZ, {"one\0two\0", 9}}, {"Bare", REG_SZ, "abc"}};
    for (const auto &[name, type, data] : values)
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()), DWORD(data.size())), 0);
    make(key, "Second");
    make(key, "first");
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Sample"}),
              (RegRun{0, "\nHKEY_CURRENT_USER\\Software\\Sample\n"
                         "    (Default)    REG_SZ    default text\n"
                         "    Number    REG_DWORD    0x2a\n"
                         "    Bytes    REG_BINARY    0AFF00\n"
                         "    List    REG_MULTI_SZ    one\\0two\n"
                         "    Bare    REG_SZ    abc\n"
                         "\nHKEY_CURRENT_USER\\Software\\Sample\\first\n"
                         "HKEY_CURRENT_USER\\Software\\Sample\\Second\n", ""}));
}

TEST_F(RegTool, QueryWithSListsTheWholeSubtreeUnderEitherRootName)
{
    register_class();
    const std::string key = "HKEY_CLASSES_ROOT\\" + tracker_key;
    const RegRun expected{0, "\n" + key + "\n    (Default)    REG_SZ    CoMorvane Class\n\n" + key + "\\InprocServer32\n"
                             "    (Default)    REG_SZ    /opt/morvane/lib/Morvane.so\n    ThreadingModel    REG_SZ    Both\n\n" +
                             key + "\\ProgID\n    (Default)    REG_SZ    Morvane.CoMorvane.1\n\n" + key + "\\Programmable\n", ""};
    EXPECT_EQ(reg({"query", "HKCR\\" + tracker_key, "/s"}), expected);
    EXPECT_EQ(reg({"query", "hkey_classes_root\\" + tracker_key + "\\", "/S"}), expected);
}

TEST_F(RegTool, DeleteRemovesTheSubtreeAndNothingElseAfterConsent)
{
    register_class();
    const RegRun declined = reg({"delete", "HKCR\\CLSID"}, "n\n");
    EXPECT_EQ(std::pair(declined.status, declined.err), std::pair(1, std::string("reg: HKEY_CLASSES_ROOT\\CLSID: not deleted\n")));
    EXPECT_EQ(reg({"delete", "HKCR\\CLSID"}).status, 1) << "no answer at all is no consent either";
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, tracker_key.c_str()));
    EXPECT_EQ(reg({"delete", "HKCR\\" + tracker_key, "/f"}), (RegRun{0, "The operation completed successfully.\n", ""}));
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, tracker_key.c_str()));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}"));
    EXPECT_EQ(reg({"delete", "HKCR\\CLSID"}, "Yes\n"),
              (RegRun{0, "Permanently delete the registry key HKEY_CLASSES_ROOT\\CLSID (Yes/No)? The operation completed successfully.\n", ""}));
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "CLSID"));
}

// Each failure: its exit status and message, and nothing printed on standard output.
TEST_F(RegTool, FailuresNameTheKeyAndTheReason)
{
    register_class();
    const std::pair<std::vector<std::string>, std::string> failures[] = { // an empty message: usage, exit status 2
        {{"query", "HKCR\\CLSID\\{missing}"}, "reg: HKEY_CLASSES_ROOT\\CLSID\\{missing}: the key does not exist (error 2)\n"},
        {{"delete", "HKCR\\CLSID\\{missing}", "/f"}, "reg: HKEY_CLASSES_ROOT\\CLSID\\{missing}: the key does not exist (error 2)\n"},
        {{"delete", "HKCR", "/f"}, "reg: HKEY_CLASSES_ROOT: a root key cannot be deleted\n"},
        {{"query", "HKXX\\CLSID"}, "reg: HKXX\\CLSID: unknown root key (use HKCR, HKCU, HKLM, HKU, HKCC, HKPD or HKDD)\n"},
        {{}, ""}, {{"query"}, ""}, {{"list", "HKCR"}, ""}, {{"query", "HKCR", "/f"}, ""}, {{"delete", "HKCR\\X", "/s"}, ""},
    };
    for (const auto &[args, err] : failures) {
        RegRun run = reg(args);
        if (err.empty())
            run.err.clear();
        EXPECT_EQ(run, (RegRun{err.empty() ? 2 : 1, "", err}));
    }
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CLSID"));
    std::filesystem::create_directory(folder_ / "directory.db"); // a database that cannot be opened
    morvane::test::ScratchRegistry::use_file(folder_ / "directory.db");
    EXPECT_EQ(reg({"query", "HKCU\\Software"}),
              (RegRun{1, "", "reg: HKEY_CURRENT_USER\\Software: the registry database cannot be opened (error 1011)\n"}));
}

} // namespace
