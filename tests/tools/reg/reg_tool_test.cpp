// The reg command: what query prints, what delete removes, and the exit
// status and message of each failure.
#include "reg_run.h"

namespace {

TEST_F(RegTool, QueryListsValuesWithTheirTypesThenTheSubkeys)
{
    Key key(create(HKEY_CURRENT_USER, "Software\\Sample"));
    ASSERT_EQ(set_string(key, nullptr, "default text"), ERROR_SUCCESS);
    const DWORD number = 0x2A;
    ASSERT_EQ(RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number),
                             4),
              ERROR_SUCCESS);
    const BYTE bytes[] = {0x0A, 0xFF, 0x00};
    ASSERT_EQ(RegSetValueExA(key, "Bytes", 0, REG_BINARY, bytes, 3), ERROR_SUCCESS);
    const char list[] = "one\0two\0";
    ASSERT_EQ(RegSetValueExA(key, "List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(list),
                             sizeof list),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE *>("abc"), 3),
              ERROR_SUCCESS);
    make(key, "Second");
    make(key, "first");

    const RegRun run = reg({"query", "HKCU\\Software\\Sample"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "\n"
                       "HKEY_CURRENT_USER\\Software\\Sample\n"
                       "    (Default)    REG_SZ    default text\n"
                       "    Number    REG_DWORD    0x2a\n"
                       "    Bytes    REG_BINARY    0AFF00\n"
                       "    List    REG_MULTI_SZ    one\\0two\n"
                       "    Bare    REG_SZ    abc\n"
                       "\n"
                       "HKEY_CURRENT_USER\\Software\\Sample\\first\n"
                       "HKEY_CURRENT_USER\\Software\\Sample\\Second\n");
}

TEST_F(RegTool, QueryWithSListsTheWholeSubtreeUnderEitherRootName)
{
    register_class();
    const std::string expected = "\n"
                                 "HKEY_CLASSES_ROOT\\CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\n"
                                 "    (Default)    REG_SZ    CoMorvane Class\n"
                                 "\n"
                                 "HKEY_CLASSES_ROOT\\CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}"
                                 "\\InprocServer32\n"
                                 "    (Default)    REG_SZ    /opt/morvane/lib/Morvane.so\n"
                                 "    ThreadingModel    REG_SZ    Both\n"
                                 "\n"
                                 "HKEY_CLASSES_ROOT\\CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}"
                                 "\\ProgID\n"
                                 "    (Default)    REG_SZ    Morvane.CoMorvane.1\n"
                                 "\n"
                                 "HKEY_CLASSES_ROOT\\CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}"
                                 "\\Programmable\n";
    const RegRun short_root = reg({"query", "HKCR\\CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}", "/s"});
    EXPECT_EQ(short_root.status, 0);
    EXPECT_EQ(short_root.out, expected);
    const RegRun long_root = reg(
        {"query", "hkey_classes_root\\CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\", "/S"});
    EXPECT_EQ(long_root.status, 0);
    EXPECT_EQ(long_root.out, expected);
}

TEST_F(RegTool, DeleteRemovesTheSubtreeAndNothingElseAfterConsent)
{
    register_class();
    const RegRun declined = reg({"delete", "HKCR\\CLSID"}, "n\n");
    EXPECT_EQ(declined.status, 1);
    EXPECT_EQ(declined.err, "reg: HKEY_CLASSES_ROOT\\CLSID: not deleted\n");
    EXPECT_EQ(reg({"delete", "HKCR\\CLSID"}).status, 1) << "no answer at all is no consent either";
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}"));

    const RegRun forced = reg({"delete", "HKCR\\CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}", "/f"});
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(forced.out, "The operation completed successfully.\n");
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}"));
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}"));

    const RegRun accepted = reg({"delete", "HKCR\\CLSID"}, "Yes\n");
    EXPECT_EQ(accepted.status, 0);
    EXPECT_EQ(accepted.out, "Permanently delete the registry key HKEY_CLASSES_ROOT\\CLSID "
                            "(Yes/No)? The operation completed successfully.\n");
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "CLSID"));
}

// Each failure: its exit status and message, and nothing printed on standard output.
TEST_F(RegTool, FailuresNameTheKeyAndTheReason)
{
    register_class();
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err; // empty: usage, whose text is not checked
    } cases[] = {
        {{"query", "HKCR\\CLSID\\{missing}"}, 1,
         "reg: HKEY_CLASSES_ROOT\\CLSID\\{missing}: the key does not exist (error 2)\n"},
        {{"delete", "HKCR\\CLSID\\{missing}", "/f"}, 1,
         "reg: HKEY_CLASSES_ROOT\\CLSID\\{missing}: the key does not exist (error 2)\n"},
        {{"delete", "HKCR", "/f"}, 1, "reg: HKEY_CLASSES_ROOT: a root key cannot be deleted\n"},
        {{"query", "HKXX\\CLSID"}, 1,
         "reg: HKXX\\CLSID: unknown root key (use HKCR, HKCU, HKLM, HKU, HKCC, HKPD or HKDD)\n"},
        {{}, 2, ""},
        {{"query"}, 2, ""},
        {{"list", "HKCR"}, 2, ""},
        {{"query", "HKCR", "/f"}, 2, ""},
        {{"delete", "HKCR\\X", "/s"}, 2, ""},
    };
    for (const auto &c : cases) {
        const RegRun run = reg(c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, "");
        if (!c.err.empty()) {
            EXPECT_EQ(run.err, c.err);
        }
    }
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "CLSID"));
    const auto directory = folder_ / "directory.db"; // a database that cannot be opened
    std::filesystem::create_directory(directory);
    morvane::test::ScratchRegistry::use_file(directory);
    const RegRun run = reg({"query", "HKCU\\Software"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "reg: HKEY_CURRENT_USER\\Software: the registry database cannot be "
                       "opened (error 1011)\n");
}

} // namespace
