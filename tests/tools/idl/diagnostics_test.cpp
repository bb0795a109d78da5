// Malformed definitions are refused with a message located at the fault; help strings cannot
// end the generated header's comments.
#include "compiler.h"
#include "diagnostic.h"
#include "header_writer.h"
#include "typelib_writer.h"

#include "child_process.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// "line:column: message" of the first error, or "" when the source compiles.
std::string error_of(const std::string &source)
{
    try {
        const idl::Module module = idl::compile(source);
        if (module.library)
            idl::write_typelib(module);
        return "";
    } catch (const idl::CompileError &error) {
        return std::to_string(error.where().line) + ":" + std::to_string(error.where().column) + ": " + error.what();
    }
}

const std::string kUuid = "uuid(11111111-2222-3333-4444-555555555555)";
const std::string kDual = "object, dual, " + kUuid;

// A well-formed object interface around the given member lines.
std::string interface_with(const std::string &members, const std::string &attrs = "object, " + kUuid,
                           const std::string &base = "IDispatch")
{
    return "[" + attrs + "]\ninterface ITest : " + base + "\n{\n" + members + "\n};\n";
}

} // namespace

// The cases of diagnostic_cases.txt (its first lines describe the format): each source with
// the error it must give.
std::vector<std::pair<std::string, std::string>> read_cases()
{
    std::ifstream in(DIAGNOSTIC_CASES_FILE);
    std::vector<std::pair<std::string, std::string>> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("=== ", 0) == 0)
            cases.emplace_back("", line.substr(4));
        else if (!cases.empty() && line == "\\ no newline at end of source")
            cases.back().first.pop_back();
        else if (!cases.empty())
            cases.back().first += line + "\n";
    }
    return cases;
}

TEST(Diagnostics, EachFaultIsReportedAtItsPlace)
{
    auto cases = read_cases();
    ASSERT_EQ(cases.size(), 56u) << DIAGNOSTIC_CASES_FILE;
    cases.emplace_back("interface \x01", "1:11: unexpected character (byte 1)");
    for (const auto &[source, expected] : cases)
        EXPECT_EQ(error_of(source), expected) << source;
    EXPECT_THROW(idl::write_typelib(idl::compile(interface_with(""))), idl::CompileError) << "no library";
}

TEST(Diagnostics, AutomationInterfacesTakeOnlyAutomationTypes)
{
    const std::pair<const char *, bool> types[] = {
        {"char", false}, {"unsigned char", true}, {"short", true}, {"unsigned short", false},
        {"long", true}, {"unsigned long", false}, {"int", true}, {"unsigned int", false},
        {"LONGLONG", false}, {"ULONGLONG", false}, {"float", true}, {"double", true},
        {"CURRENCY", true}, {"DATE", true}, {"BSTR", true}, {"VARIANT_BOOL", true},
        {"VARIANT", true}, {"SCODE", true}, {"HRESULT", false}, {"IUnknown *", true},
        {"IDispatch *", true}, {"long *", true}, {"long **", false},
    };
    for (const auto &[type, allowed] : types) {
        const std::string error = error_of(interface_with(std::string("    HRESULT f([in] ") + type + " x);", kDual));
        EXPECT_EQ(error.empty(), allowed) << type << ": " << error;
    }
    EXPECT_EQ(error_of(interface_with("    HRESULT f([in] unsigned long n);", kDual)),
              "4:20: type 'ULONG' of parameter 'n' is not automation-compatible");
}

TEST(Diagnostics, TheCompilerProgramReportsFileLineAndColumnAndFails)
{
    const test_support::ScratchFolder folder;
    std::ofstream(folder.file("broken.idl")) << interface_with("    HRESULT f([in] mystery x);");
    const std::string header = folder.file("broken.h");
    for (const auto &[name, message] : {std::pair("broken.idl", ":4:20: unknown type 'mystery'\n"),
                                        std::pair("missing.idl", ": cannot open: No such file or directory\n")}) {
        const auto run = morvane::test::run_child({{MORVANE_IDL_COMPILER, "--header", header, folder.file(name)}});
        EXPECT_NE(run.exit_status, 0);
        EXPECT_EQ(run.err, folder.file(name) + message);
        EXPECT_FALSE(std::filesystem::exists(header)) << "no output is written for a failed compile";
    }
}

TEST(Compiler, HeaderCommentsCannotBeClosedByHelpStrings)
{
    const std::string header = idl::write_header(idl::compile(R"(
        [object, uuid(11111111-2222-3333-4444-000000000001), helpstring("ends */ early")]
        interface IOdd : IUnknown { [helpstring("line\nbreak */")] HRESULT a(); };
    )"), "odd.h", "odd.idl");
    EXPECT_EQ(header.find("ends */"), std::string::npos);
    EXPECT_EQ(header.find("break */"), std::string::npos);
    EXPECT_NE(header.find("#ifndef MORVANE_GENERATED_ODD_H"), std::string::npos);
}
