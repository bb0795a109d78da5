// Runs the reg command against the test's own registry and collects what it
// printed and its exit status.
#ifndef MORVANE_TESTS_REG_RUN_H
#define MORVANE_TESTS_REG_RUN_H

#include "child_process.h"
#include "registry_fixture.h"

#include <ostream>

struct RegRun {
    int status; // -1 when reg did not exit normally
    std::string out;
    std::string err;
    bool operator==(const RegRun &) const = default;
    friend void PrintTo(const RegRun &run, std::ostream *os)
    {
        *os << "status " << run.status << ", out \"" << run.out << "\", err \"" << run.err << '"';
    }
};

class RegTool : public RegistryTest {
protected:
    // Runs reg with the arguments and the text on its standard input; the registry
    // is the test's own, through the inherited MORVANE_REGISTRY. Bounded, so that a
    // tool that loops fails the test instead of hanging it.
    static RegRun reg(const std::vector<std::string> &args, const std::string &input = "")
    {
        morvane::test::ChildRun run{{REG_TOOL}};
        run.arguments.insert(run.arguments.end(), args.begin(), args.end());
        run.timeout = std::chrono::seconds(30);
        run.input = input;
        const morvane::test::ChildResult result = morvane::test::run_child(run);
        return {result.exit_status, result.out, result.err};
    }

    // A class key much like a component's registration writes.
    void register_class()
    {
        Key cls(create(HKEY_CLASSES_ROOT, "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}"));
        Key server(create(cls, "InprocServer32")), progid(create(cls, "ProgID"));
        ASSERT_EQ(set_string(cls, nullptr, "CoMorvane Class"), ERROR_SUCCESS);
        ASSERT_EQ(set_string(server, nullptr, "/opt/morvane/lib/Morvane.so"), ERROR_SUCCESS);
        ASSERT_EQ(set_string(server, "ThreadingModel", "Both"), ERROR_SUCCESS);
        ASSERT_EQ(set_string(progid, nullptr, "Morvane.CoMorvane.1"), ERROR_SUCCESS);
        make(cls, "Programmable");
        make(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}");
    }
};

#endif
