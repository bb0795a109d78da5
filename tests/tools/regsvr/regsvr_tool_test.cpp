// regsvr against a registry shared with other processes, a damaged one, and files it refuses.
#include "child_process.h"
#include "registry_fixture.h"
#include "registry_tree.h"

#include <set>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;
using morvane::test::ChildProcess;

// regsvr with these arguments, in the registry MORVANE_REGISTRY names.
morvane::test::ChildRun regsvr_run(std::vector<std::string> args)
{
    args.insert(args.begin(), REGSVR_TOOL);
    return {args, "", {}, 60s};
}
morvane::test::ChildResult regsvr(const std::vector<std::string> &args) { return morvane::test::run_child(regsvr_run(args)); }

std::string classes_root() { return morvane::test::tree_text(morvane::test::registry_tree(HKEY_CLASSES_ROOT)); }

using Regsvr = RegistryTest;

TEST_F(Regsvr, ConcurrentRegistrationsAndRemovalsLeaveASerialState)
{
    // A second component: the same module under another name.
    const std::vector<std::string> modules{MORVANE_MODULE, (folder_ / "Other.so").string()};
    std::filesystem::copy_file(modules[0], modules[1]);
    // As new, after a removal (the shared parent keys stay), and each module's.
    std::set<std::string> states{classes_root()};
    for (const std::string &module : modules) {
        EXPECT_EQ(regsvr({"-s", module}).exit_status, 0);
        states.insert(classes_root());
        EXPECT_EQ(regsvr({"-s", "-u", module}).exit_status, 0);
        states.insert(classes_root());
    }
    ASSERT_EQ(states.size(), 4u);
    for (int round = 0; round < 6; ++round) {
        std::vector<std::unique_ptr<ChildProcess>> children;
        for (int i = 0; i < 8; ++i) {
            // The same component in the first rounds, two different ones after.
            const std::string &module = round < 3 ? modules[0] : modules[i % 2];
            const bool remove = (round + i) % 3 == 2;
            children.push_back(std::make_unique<ChildProcess>(regsvr_run(remove ? std::vector<std::string>{"-s", "-u", module}
                                                                                : std::vector<std::string>{"-s", module})));
        }
        for (auto &child : children)
            EXPECT_EQ(child->wait(30s), 0) << "round " << round;
        EXPECT_EQ(states.count(classes_root()), 1u) << "round " << round << ":\n" << classes_root();
    }
}

// Each refusal: its status and message, no entry written; a pipe is refused without waiting.
TEST_F(Regsvr, EachRefusalHasItsExitStatusAndReason)
{
    const std::string pipe = (folder_ / "pipe.so").string(), missing = (folder_ / "missing.so").string();
    const std::string odd = (folder_ / "Mor\xE9vane.so").string(); // not UTF-8: the registry cannot hold it
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::copy_file(MORVANE_MODULE, odd);
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{pipe}, 3, "regsvr: " + pipe + " could not be loaded (system error 193: not a regular file)\n"},
        {{missing}, 3, "regsvr: " + missing + " could not be loaded (system error 126: no such file or not a loadable library)\n"},
        {{"-s", missing}, 3, ""},
        {{"/u", PLATFORM_LIBRARY}, 4, "regsvr: " PLATFORM_LIBRARY " was loaded, but it has no entry point DllUnregisterServer\n"},
        {{odd}, 5, "regsvr: DllRegisterServer in " + odd + " failed: 0x80070459: the component's path is not valid UTF-8, so "
                   "the registry cannot hold it (system error 1113)\n"},
        {{}, 2, "usage: regsvr"}, {{"-x", missing}, 2, "usage: regsvr"}, {{missing, missing}, 2, "usage: regsvr"},
    };
    for (const auto &[args, status, err] : rows) {
        const auto run = regsvr(args);
        EXPECT_EQ(std::tuple(run.exit_status, run.out, status == 2 ? run.err.substr(0, 13) : run.err), std::tuple(status, "", err));
    }
    EXPECT_EQ(classes_root(), "");
    // A registry cut short after a registration: the removal is not begun, for the registry's reason.
    ASSERT_EQ(regsvr({"-s", MORVANE_MODULE}).exit_status, 0);
    MorvaneRegistryReset();
    std::filesystem::resize_file(file_, 100);
    const auto run = regsvr({"-u", MORVANE_MODULE});
    EXPECT_EQ(std::tuple(run.exit_status, run.out, run.err),
              std::tuple(5, std::string(), "regsvr: DllUnregisterServer in " MORVANE_MODULE " was not called: the registry " +
                                               file_.string() + " cannot be written: the registry database is damaged (error 1015)\n"));
}

// --machine registers for every user in the machine's file, which HKCR shows every user;
// a machine registry the caller may not write is refused before the component is called.
TEST_F(Regsvr, MachineRegistrationGoesToTheMachinesFileOrIsRefusedWhenItCannotBeWritten)
{
    const std::string server = "Software\\Classes\\CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\\InprocServer32";
    const auto run = regsvr({"--machine", MORVANE_MODULE});
    EXPECT_EQ(std::tuple(run.exit_status, run.out),
              std::tuple(0, "DllRegisterServer in " MORVANE_MODULE " succeeded (registry " + scratch_->machine_file().string() + ").\n"));
    Key key;
    EXPECT_EQ(open(HKEY_LOCAL_MACHINE, server.c_str(), key, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(query_string(key, nullptr), MORVANE_MODULE);
    EXPECT_TRUE(exists(HKEY_CLASSES_ROOT, "Morvane.CoMorvane"));
    EXPECT_FALSE(std::filesystem::exists(file_)) << "the user's file was made";
    EXPECT_EQ(regsvr({"-s", "-u", "--machine", MORVANE_MODULE}).exit_status, 0);
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "Morvane.CoMorvane"));
    if (geteuid() != 0)
        GTEST_SKIP() << "needs the superuser, to run regsvr as another user";
    ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
    const auto refused = morvane::test::run_child(
        {{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", REGSVR_TOOL, "--machine", MORVANE_MODULE}});
    EXPECT_EQ(std::tuple(refused.exit_status, refused.out, refused.err),
              std::tuple(5, "", "regsvr: DllRegisterServer in " MORVANE_MODULE " was not called: the registry " +
                                    scratch_->machine_file().string() + " cannot be written: access is denied (error 5)\n"));
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, "Morvane.CoMorvane"));
    chmod(folder_.c_str(), 0700);
}

} // namespace
