// Registry updates spanning several calls: kept or rolled back whole, nested,
// and failed by a database failure inside them.
#include "registry_fixture.h"

#include <sqlite3.h>

namespace {

using RegistryUpdate = RegistryTest;

TEST_F(RegistryUpdate, KeepsOrDropsEveryCallWithin)
{
    struct Case {
        const char *name;
        std::vector<BOOL> ends; // innermost first
        bool kept;
    };
    const Case cases[] = {
        {"kept", {TRUE}, true},
        {"dropped", {FALSE}, false},
        {"nested, both kept", {TRUE, TRUE}, true},
        {"nested, inner dropped", {FALSE, TRUE}, false},
        {"nested, outer dropped", {TRUE, FALSE}, false},
    };
    for (const Case &c : cases) {
        for (std::size_t level = 0; level < c.ends.size(); ++level)
            ASSERT_EQ(MorvaneRegistryBeginUpdate(), ERROR_SUCCESS) << c.name;
        Key key(create(HKEY_CURRENT_USER, "Software\\Updated"));
        EXPECT_EQ(set_string(key, "value", "set"), ERROR_SUCCESS);
        for (BOOL keep : c.ends)
            EXPECT_EQ(MorvaneRegistryEndUpdate(keep), ERROR_SUCCESS) << c.name;
        EXPECT_EQ(exists(HKEY_CURRENT_USER, "Software\\Updated"), c.kept) << c.name;
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Updated");
    }
    EXPECT_EQ(MorvaneRegistryEndUpdate(TRUE), ERROR_INVALID_FUNCTION);
}

TEST_F(RegistryUpdate, ADatabaseFailureWithinRollsItBackAndIsReported)
{
    make(HKEY_CURRENT_USER, "Software\\Loop\\Back");
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "UPDATE keys SET parent = (SELECT id FROM keys WHERE fold = "
                           "CAST('BACK' AS BLOB)) WHERE id = 2",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    ASSERT_EQ(MorvaneRegistryBeginUpdate(), ERROR_SUCCESS);
    make(HKEY_LOCAL_MACHINE, "Software\\Written");
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software"), ERROR_BADDB);
    EXPECT_EQ(MorvaneRegistryEndUpdate(TRUE), ERROR_BADDB);
    EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, "Software\\Written"));
}

} // namespace
