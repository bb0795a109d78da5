// regsvr against a registry shared with other processes and against files
// it cannot use: every registration is whole or absent, and every failure is
// reported with its reason.
#include "child_process.h"
#include "registry_fixture.h"

#include <fstream>
#include <iterator>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

const std::string regsvr_tool = REGSVR_TOOL;

using morvane::test::ChildProcess;

// regsvr with these arguments, run as a child process.
morvane::test::ChildRun regsvr_run(std::vector<std::string> args)
{
    args.insert(args.begin(), regsvr_tool);
    return {args};
}

struct RegsvrRun {
    int status;
    std::string out;
    std::string err;
};

// Every key below key with its values, one line each, in order.
void dump(HKEY key, const std::string &path, std::string &text)
{
    for (const std::string &name : RegistryTest::value_names(key)) {
        const std::vector<BYTE> data = RegistryTest::query(key, name.c_str());
        text += path + " [" + name + "] " + std::string(data.begin(), data.end()) + "\n";
    }
    for (const std::string &name : RegistryTest::subkeys(key)) {
        text += path + "\\" + name + "\n";
        Key child;
        if (RegistryTest::open(key, name.c_str(), child, KEY_READ) == ERROR_SUCCESS)
            dump(child, path + "\\" + name, text);
    }
}

std::string classes_root()
{
    std::string text;
    dump(HKEY_CLASSES_ROOT, "HKCR", text);
    return text;
}

class Regsvr : public RegistryTest {
protected:
    RegsvrRun regsvr(const std::vector<std::string> &args)
    {
        const auto out = folder_ / "out", err = folder_ / "err";
        std::string command = "'" + regsvr_tool + "'";
        for (const std::string &arg : args)
            command += " '" + arg + "'";
        command += " </dev/null >'" + out.string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(out), read(err)};
    }

    static std::string read(const std::filesystem::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // A second component: the same module under another name.
    std::string other_module()
    {
        const auto copy = folder_ / "Other.so";
        std::filesystem::copy_file(MORVANE_MODULE, copy);
        return copy.string();
    }

    // What the registry holds after each serial order of the operations:
    // nothing (as new, or after a removal) or one module's registration.
    std::set<std::string> serial_states(const std::vector<std::string> &modules)
    {
        std::set<std::string> states{classes_root()};
        for (const std::string &module : modules) {
            EXPECT_EQ(regsvr({"-s", module}).status, 0);
            states.insert(classes_root());
            EXPECT_EQ(regsvr({"-s", "-u", module}).status, 0);
            states.insert(classes_root());
        }
        return states;
    }
};

TEST_F(Regsvr, ConcurrentRegistrationsAndRemovalsLeaveASerialState)
{
    const std::vector<std::string> modules{MORVANE_MODULE, other_module()};
    const std::set<std::string> states = serial_states(modules);
    // As new, after a removal (the shared parent keys stay), and each module's.
    ASSERT_EQ(states.size(), 4u);
    for (int round = 0; round < 6; ++round) {
        std::vector<std::unique_ptr<ChildProcess>> children;
        for (int i = 0; i < 8; ++i) {
            std::vector<std::string> args{"-s"};
            if ((round + i) % 3 == 2)
                args.push_back("-u");
            // The same component in the first rounds, two different ones after.
            args.push_back(round < 3 ? modules[0] : modules[i % 2]);
            children.push_back(std::make_unique<ChildProcess>(regsvr_run(args)));
        }
        for (auto &child : children)
            EXPECT_EQ(child->wait(30s), 0) << "round " << round;
        EXPECT_EQ(states.count(classes_root()), 1u) << "round " << round << ":\n" << classes_root();
    }
}

TEST_F(Regsvr, AKilledRegistrationLeavesTheRegistryAsBefore)
{
    ASSERT_EQ(regsvr({"-s", MORVANE_MODULE}).status, 0);
    const std::string registered = classes_root();
    ASSERT_EQ(regsvr({"-s", "-u", MORVANE_MODULE}).status, 0);
    const std::string before = classes_root();
    for (int delay_ms : {0, 2, 5, 10, 15, 20, 30, 45, 60, 80}) {
        {
            ChildProcess child(regsvr_run({"-s", MORVANE_MODULE}));
            std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
            child.kill_now();
        }
        const std::string after = classes_root();
        EXPECT_TRUE(after == before || after == registered) << delay_ms << " ms:\n" << after;
        if (after == registered)
            ASSERT_EQ(regsvr({"-s", "-u", MORVANE_MODULE}).status, 0);
    }
}

// A registry that cannot be opened or written: removal fails with the
// registry's reason, and a registration already there stays.
TEST_F(Regsvr, RemovalFromAnUnusableRegistryFailsWithItsReason)
{
    struct Case {
        const char *name;
        const char *message;
    };
    const Case cases[] = {
        {"directory", "the registry cannot be written: the registry database cannot be opened (error 1011)"},
        {"garbage", "the registry cannot be written: the registry file is not a registry database"},
        {"foreign", "the registry cannot be written: the registry file is not a registry database"},
        {"truncated", "the registry cannot be written: "},
    };
    for (const Case &c : cases) {
        const auto file = folder_ / c.name;
        const std::string kind = c.name;
        if (kind == "directory") {
            std::filesystem::create_directory(file);
        } else if (kind == "garbage") {
            std::ofstream(file) << std::string(8192, 'x');
        } else if (kind == "foreign") {
            sqlite3 *db = nullptr;
            ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
            sqlite3_exec(db, "CREATE TABLE t(a)", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        } else {
            morvane::test::ScratchRegistry::use_file(file);
            ASSERT_EQ(regsvr({"-s", MORVANE_MODULE}).status, 0);
            MorvaneRegistryReset();
            std::filesystem::resize_file(file, 100);
        }
        setenv("MORVANE_REGISTRY", file.c_str(), 1);
        const RegsvrRun run = regsvr({"-u", MORVANE_MODULE});
        EXPECT_EQ(run.status, 5) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.err.find("malformed"), std::string::npos) << run.err;
    }
}

TEST_F(Regsvr, ANamedPipeIsRefusedAtOnce)
{
    const auto pipe = folder_ / "pipe.so";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    {
        // In a child first: a load that waits for a writer must not hang the test.
        ChildProcess child(regsvr_run({"-s", pipe.string()}));
        ASSERT_EQ(child.wait(10s), 3);
    }
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(pipe.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    const RegsvrRun run = regsvr({pipe.string()});
    EXPECT_EQ(run.err, "regsvr: " + pipe.string() +
                           " could not be loaded (system error 193: not a regular file)\n");
}

TEST_F(Regsvr, APathThatIsNotUtf8IsRefusedAsSuch)
{
    const auto odd = folder_ / "Mor\xE9vane.so";
    std::filesystem::copy_file(MORVANE_MODULE, odd);
    const std::string before = classes_root();
    const RegsvrRun run = regsvr({odd.string()});
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.err, "regsvr: DllRegisterServer in " + odd.string() +
                           " failed: 0x80070459: the component's path is not valid UTF-8, so the "
                           "registry cannot hold it (system error 1113)\n");
    EXPECT_EQ(classes_root(), before);
}

} // namespace
