// A registry file this process may read but not write: every read works,
// every write fails with ERROR_ACCESS_DENIED.
#include "child_process.h"
#include "registry_fixture.h"

#include <sys/stat.h>

using morvane::test::ChildProcess;

namespace {

using ReadOnlyFile = RegistryTest;

// The number of the first check that failed, 0 when all held. Run in a child
// process that cannot write the file: the superuser can write any file, so
// the child then gives up its rights first.
int check_read_only_use()
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
        return 10;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Sample", 0, KEY_ALL_ACCESS, &key) != 0)
        return 1;
    char text[16] = {};
    DWORD size = sizeof text;
    if (RegQueryValueExA(key, "kept", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size) !=
            ERROR_SUCCESS ||
        std::string(text) != "yes")
        return 2;
    if (RegSetValueExA(key, "new", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2) !=
        ERROR_ACCESS_DENIED)
        return 3;
    if (RegDeleteValueA(key, "kept") != ERROR_ACCESS_DENIED)
        return 4;
    if (MorvaneRegistryBeginUpdate() != ERROR_ACCESS_DENIED)
        return 5;
    HKEY created = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &created, nullptr) != ERROR_ACCESS_DENIED)
        return 6;
    return 0;
}

TEST_F(ReadOnlyFile, ReadsWorkAndWritesAreDenied)
{
    Key key(create(HKEY_CURRENT_USER, "Software\\Sample"));
    ASSERT_EQ(set_string(key, "kept", "yes"), ERROR_SUCCESS);
    key.release();
    MorvaneRegistryReset();
    ASSERT_EQ(chmod(file_.c_str(), 0444), 0);
    ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);

    EXPECT_EQ(ChildProcess(check_read_only_use).wait(std::chrono::seconds(10)), 0);
    chmod(folder_.c_str(), 0700);
}

} // namespace
