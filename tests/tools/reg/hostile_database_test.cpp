// A registry file edited outside the registry calls: over-long names and a
// parent cycle are reported, without looping, and never hide their siblings.
#include "reg_run.h"
#include "registry_sql.h"

namespace {

using HostileDatabase = RegTool;

// A name one byte over the limit among names that fit: the enumeration says
// ERROR_MORE_DATA, and reg reports it and shows the others.
TEST_F(HostileDatabase, AnOverlongNameIsReportedAndItsSiblingsShown)
{
    Key key(create(HKEY_CURRENT_USER, "Software\\Odd"));
    ASSERT_EQ(set_string(key, "kept", "shown"), ERROR_SUCCESS);
    make(key, "Zed");
    ASSERT_EQ(run_sql(file_, "INSERT INTO vals(key, name, fold, type, data) SELECT id, zeroblob(16384), x'00', 1,"
                             " x'00' FROM keys WHERE fold = CAST('ODD' AS BLOB);"
                             "INSERT INTO keys(parent, name, fold, written) SELECT id, zeroblob(256), x'00', 0"
                             " FROM keys WHERE fold = CAST('ODD' AS BLOB)"), "");

    char name[16384];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Odd", "/s"}),
              (RegRun{1, "\nHKEY_CURRENT_USER\\Software\\Odd\n    kept    REG_SZ    shown\n\nHKEY_CURRENT_USER\\Software\\Odd\\Zed\n",
                      "reg: HKEY_CURRENT_USER\\Software\\Odd: value 1: a name is longer than the registry allows (error 234)\n"
                      "reg: HKEY_CURRENT_USER\\Software\\Odd: subkey 0: a name is longer than the registry allows (error 234)\n"}));
}

// HKEY_CURRENT_USER's row made a child of a key below it: walking down from
// the root never ends.
TEST_F(HostileDatabase, AParentCycleFailsDeletionAndQueryWithoutSpinning)
{
    make(HKEY_CURRENT_USER, "Software\\Loop\\Back");
    Key kept(create(HKEY_LOCAL_MACHINE, "Software\\Kept"));
    ASSERT_EQ(run_sql(file_, "UPDATE keys SET parent = (SELECT id FROM keys WHERE fold = CAST('BACK' AS BLOB)),"
                             " name = CAST(name AS BLOB), fold = CAST(fold AS BLOB) WHERE id = 2"), "");

    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software"), ERROR_BADDB);
    EXPECT_TRUE(exists(HKEY_CURRENT_USER, "Software\\Loop\\Back"));
    const std::string cycle = "the registry file is not a registry database, or its keys do not form a tree (error 1009)\n";
    EXPECT_EQ(reg({"delete", "HKCU\\Software", "/f"}), (RegRun{1, "", "reg: HKEY_CURRENT_USER\\Software: " + cycle}));
    EXPECT_EQ(set_string(kept, "after", "written"), ERROR_SUCCESS) << "the write lock was let go";
    const RegRun query = reg({"query", "HKCU", "/s"});
    EXPECT_EQ(query.status, 1);
    EXPECT_NE(query.out.find("\nHKEY_CURRENT_USER\\Software\\Loop\\Back\\HKEY_CURRENT_USER\n"), std::string::npos);
    EXPECT_NE(query.err.find(cycle), std::string::npos) << query.err;
}

} // namespace
