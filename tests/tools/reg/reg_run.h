// Runs the reg command against the test's own registry and collects what it
// printed and its exit status.
#ifndef MORVANE_TESTS_REG_RUN_H
#define MORVANE_TESTS_REG_RUN_H

#include "registry_fixture.h"

#include <fstream>
#include <iterator>
#include <sys/wait.h>

struct RegRun {
    int status;
    std::string out;
    std::string err;
};

class RegTool : public RegistryTest {
protected:
    // Runs reg with the arguments (each quoted for the shell) and the text on
    // its standard input; the registry is the test's own, through the
    // inherited MORVANE_REGISTRY.
    RegRun reg(const std::vector<std::string> &args, const std::string &input = "")
    {
        const auto in = folder_ / "in", out = folder_ / "out", err = folder_ / "err";
        std::ofstream(in) << input;
        // Bounded, so that a tool that loops fails the test instead of hanging it.
        std::string command = "timeout 30 '" REG_TOOL "'";
        for (const std::string &arg : args)
            command += " '" + arg + "'";
        command += " <'" + in.string() + "' >'" + out.string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(out), read(err)};
    }

    static std::string read(const std::filesystem::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // A class key much like a component's registration writes.
    void register_class()
    {
        Key cls(create(HKEY_CLASSES_ROOT, "CLSID\\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}"));
        ASSERT_EQ(set_string(cls, nullptr, "CoMorvane Class"), ERROR_SUCCESS);
        Key server(create(cls, "InprocServer32"));
        ASSERT_EQ(set_string(server, nullptr, "/opt/morvane/lib/Morvane.so"), ERROR_SUCCESS);
        ASSERT_EQ(set_string(server, "ThreadingModel", "Both"), ERROR_SUCCESS);
        Key progid(create(cls, "ProgID"));
        ASSERT_EQ(set_string(progid, nullptr, "Morvane.CoMorvane.1"), ERROR_SUCCESS);
        make(cls, "Programmable");
        make(HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000001}");
    }
};

#endif
