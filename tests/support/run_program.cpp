#include "run_program.h"

#include "scratch_folder.h"

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

namespace test_support {

namespace {
std::string quoted(const std::string &word)
{
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string text_of(const std::filesystem::path &path)
{
    const std::vector<std::uint8_t> bytes = read_file(path);
    return {bytes.begin(), bytes.end()};
}
} // namespace

ProgramRun run_program(const std::string &program, const std::vector<std::string> &args,
                       const std::string &input)
{
    const ScratchFolder folder;
    const auto in = folder.path() / "in", out = folder.path() / "out", err = folder.path() / "err";
    std::ofstream(in) << input;
    std::string command = quoted(program);
    for (const std::string &arg : args)
        command += " " + quoted(arg);
    command += " <" + quoted(in) + " >" + quoted(out) + " 2>" + quoted(err);
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text_of(out), text_of(err)};
}

} // namespace test_support
