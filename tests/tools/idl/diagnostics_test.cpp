// Malformed definitions are refused with a message located at the fault.
#include "compiler.h"
#include "diagnostic.h"
#include "typelib_writer.h"

#include "child_process.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
        return std::to_string(error.where().line) + ":" + std::to_string(error.where().column) +
               ": " + error.what();
    }
}

// A well-formed object interface around the given member lines.
std::string interface_with(const std::string &members, const std::string &attrs = "object, uuid(11111111-2222-3333-4444-555555555555)",
                           const std::string &base = "IDispatch")
{
    return "[" + attrs + "]\ninterface ITest : " + base + "\n{\n" + members + "\n};\n";
}

} // namespace

TEST(Diagnostics, LexicalErrorsPointAtTheirStart)
{
    EXPECT_EQ(error_of("[helpstring(\"open\n"), "1:13: unterminated string");
    EXPECT_EQ(error_of("  /* never closed"), "1:3: unterminated comment");
    EXPECT_EQ(error_of("interface $"), "1:11: unexpected character '$'");
    EXPECT_EQ(error_of("#include \"x.h\""), "1:1: preprocessor directives are not supported");
    EXPECT_EQ(error_of("[id(99999999999)]"), "1:5: number '99999999999' does not fit in 32 bits");
    EXPECT_EQ(error_of("[version(1.2.3)]"), "1:10: malformed number '1.2.3'");
    EXPECT_EQ(error_of("[helpstring(\"a\\q\")]"), "1:16: unknown escape sequence '\\q'");
}

TEST(Diagnostics, SyntaxErrorsSayWhatWasExpected)
{
    EXPECT_EQ(error_of(interface_with("    HRESULT f()\n")),
              "6:1: expected ';' after the method declaration, found '}'");
    EXPECT_EQ(error_of(interface_with("    HRESULT f(long x;")),
              "4:21: expected ')' to close the parameter list, found ';'");
    EXPECT_EQ(error_of("[object, uuid(11111111-2222-3333-4444-555555555555)]\ninterface ITest : IDispatch\n{\n"),
              "4:1: expected '}' to close the interface body, found end of file");
    EXPECT_EQ(error_of("[object, uuid(1111-2222)] interface I : IUnknown {};"),
              "1:15: malformed identifier '1111-2222' (expected XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX)");
    EXPECT_EQ(error_of("typedef long LONG2;"), "1:1: 'typedef' declarations are not supported");
    EXPECT_EQ(error_of("coclass C {};"), "1:1: a coclass must be declared inside the library block");
    EXPECT_EQ(error_of("importlib(\"stdole2.tlb\");"),
              "1:1: importlib is only allowed inside the library block");
    EXPECT_EQ(error_of("[uuid(11111111-2222-3333-4444-555555555555)] library A {};\n"
                       "[uuid(11111111-2222-3333-4444-555555555556)] library B {};"),
              "2:46: only one library block is allowed");
    EXPECT_EQ(error_of("42"), "1:1: expected 'import', 'interface' or 'library', found '42'");
}

TEST(Diagnostics, AttributesAreCheckedAgainstTheDeclaration)
{
    EXPECT_EQ(error_of(interface_with("", "object, uuid(11111111-2222-3333-4444-555555555555), propget")),
              "1:54: attribute 'propget' is not allowed on an interface");
    EXPECT_EQ(error_of(interface_with("", "object, object, uuid(11111111-2222-3333-4444-555555555555)")),
              "1:10: attribute 'object' is given twice");
    EXPECT_EQ(error_of(interface_with("    [id(\"one\")] HRESULT f();")),
              "4:6: attribute 'id' needs a number");
    EXPECT_EQ(error_of(interface_with("    [propget(1)] HRESULT f([out, retval] long *v);")),
              "4:6: attribute 'propget' takes no argument");
    EXPECT_EQ(error_of(interface_with("", "object")), "2:11: interface 'ITest' needs a uuid attribute");
    EXPECT_EQ(error_of(interface_with("", "uuid(11111111-2222-3333-4444-555555555555)")),
              "2:11: interface 'ITest' needs the 'object' attribute: only object interfaces are supported");
    EXPECT_EQ(error_of(interface_with("", "object, uuid(11111111-2222-3333-4444-555555555555), pointer_default(shared)")),
              "1:54: attribute 'pointer_default' needs unique, ref or ptr");
}

TEST(Diagnostics, InterfacesAndMembersMustMakeSense)
{
    EXPECT_EQ(error_of(interface_with("", "object, uuid(11111111-2222-3333-4444-555555555555)", "IBase")),
              "2:19: unknown base interface 'IBase'");
    EXPECT_EQ(error_of(interface_with("", "object, dual, uuid(11111111-2222-3333-4444-555555555555)", "IUnknown")),
              "1:10: dual interface 'ITest' must derive from IDispatch");
    EXPECT_EQ(error_of(interface_with("    HRESULT f([in] mystery x);")), "4:20: unknown type 'mystery'");
    EXPECT_EQ(error_of(interface_with("    [propget] HRESULT f([out] long *v);")),
              "4:23: property read 'f' must end with an [out, retval] parameter");
    EXPECT_EQ(error_of(interface_with("    [propput] HRESULT f();")),
              "4:23: property write 'f' must end with an [in] parameter for the value");
    EXPECT_EQ(error_of(interface_with("    HRESULT f([out, retval] long *a, [in] long b);")),
              "4:21: 'retval' must be on the last parameter");
    EXPECT_EQ(error_of(interface_with("    HRESULT f([out] long a);")),
              "4:21: out parameter 'a' must be a pointer");
    EXPECT_EQ(error_of(interface_with("    HRESULT f([in] long);")), "4:15: parameters need a name");
    EXPECT_EQ(error_of(interface_with("    HRESULT f([in] long a, [in] long a);")),
              "4:28: parameter 'a' is declared twice");
    EXPECT_EQ(error_of(interface_with("    [id(1)] HRESULT f();\n    [id(1)] HRESULT g();")),
              "5:21: id 1 of 'g' is already used by 'f'");
    EXPECT_EQ(error_of(interface_with("    HRESULT f();\n    HRESULT f();")),
              "5:13: 'f' is already declared at line 4");
    EXPECT_EQ(error_of(interface_with("    HRESULT Invoke();")),
              "4:13: 'Invoke' is already a member of base interface IDispatch");
    EXPECT_EQ(error_of(interface_with("    HRESULT f();", "object, uuid(11111111-2222-3333-4444-555555555555)", "IDispatch")
                       + "[object, uuid(11111111-2222-3333-4444-555555555555)] interface IOther : IUnknown {};"),
              "6:10: identifier 11111111-2222-3333-4444-555555555555 is already used by 'ITest'");
}

TEST(Diagnostics, AutomationInterfacesTakeOnlyAutomationTypes)
{
    const std::string dual = "object, dual, uuid(11111111-2222-3333-4444-555555555555)";
    EXPECT_EQ(error_of(interface_with("    long f();", dual)),
              "4:5: members of automation interface 'ITest' must return HRESULT");
    EXPECT_EQ(error_of(interface_with("    HRESULT f([in] void *p);", dual)),
              "4:20: type 'void *' of parameter 'p' is not automation-compatible");
    EXPECT_EQ(error_of(interface_with("    HRESULT f([in] unsigned long n);", dual)),
              "4:20: type 'ULONG' of parameter 'n' is not automation-compatible");
    // Every base type the compiler knows, allowed in an automation interface or not.
    const std::pair<const char *, bool> types[] = {
        {"char", false}, {"unsigned char", true}, {"short", true}, {"unsigned short", false},
        {"long", true}, {"unsigned long", false}, {"int", true}, {"unsigned int", false},
        {"LONGLONG", false}, {"ULONGLONG", false}, {"float", true}, {"double", true},
        {"CURRENCY", true}, {"DATE", true}, {"BSTR", true}, {"VARIANT_BOOL", true},
        {"VARIANT", true}, {"SCODE", true}, {"HRESULT", false}, {"IUnknown *", true},
        {"IDispatch *", true}, {"long *", true}, {"long **", false},
    };
    for (const auto &[type, allowed] : types) {
        const std::string error = error_of(interface_with(std::string("    HRESULT f([in] ") + type + " x);", dual));
        EXPECT_EQ(error.empty(), allowed) << type << ": " << error;
    }
    EXPECT_EQ(error_of(interface_with("    HRESULT f([in] long ***x);")),
              "4:20: more than two levels of pointers are not supported");
    // The same members are fine in a plain object interface.
    EXPECT_EQ(error_of(interface_with("    HRESULT f([in] void *p, [in] unsigned long n);")), "");
}

TEST(Diagnostics, LibraryBlocksAreChecked)
{
    const std::string iface = interface_with("    HRESULT f();");
    EXPECT_EQ(error_of(iface + "[uuid(11111111-2222-3333-4444-000000000000)] library L { importlib(\"other.tlb\"); };"),
              "6:68: cannot import library \"other.tlb\": only stdole2.tlb is known");
    EXPECT_EQ(error_of(iface + "[version(1.0)] library L {};"), "6:24: library 'L' needs a uuid attribute");
    EXPECT_EQ(error_of(iface + "[uuid(11111111-2222-3333-4444-000000000000)] library L {\n"
                               "  [uuid(11111111-2222-3333-4444-000000000001)] coclass C { interface IMissing; };\n};"),
              "7:70: unknown interface 'IMissing'");
    EXPECT_EQ(error_of(iface + "[object, uuid(11111111-2222-3333-4444-000000000009)] interface ISecond : IUnknown {};\n"
                               "[uuid(11111111-2222-3333-4444-000000000000)] library L {\n"
                               "  [uuid(11111111-2222-3333-4444-000000000001)] coclass C {\n"
                               "    [default] interface ITest; [default] interface ISecond; };\n};"),
              "9:52: coclass 'C' has more than one default interface");
    EXPECT_EQ(error_of("import \"windows.idl\";"),
              "1:8: cannot import \"windows.idl\": only the platform's own definitions (oaidl.idl, "
              "ocidl.idl, objidl.idl, unknwn.idl, wtypes.idl) are known");
    EXPECT_EQ(error_of(iface), ""); // no library: a header alone is fine
    EXPECT_THROW(idl::write_typelib(idl::compile(iface)), idl::CompileError);
}

TEST(Diagnostics, TheCompilerProgramReportsFileLineAndColumnAndFails)
{
    const test_support::ScratchFolder folder;
    const auto input = folder.write("broken.idl", {});
    std::ofstream(input) << interface_with("    HRESULT f([in] mystery x);");
    const std::string header = folder.file("broken.h");
    const auto run = morvane::test::run_child({{MORVANE_IDL_COMPILER, "--header", header, input.string()}});
    EXPECT_NE(run.exit_status, 0);
    EXPECT_EQ(run.err, input.string() + ":4:20: unknown type 'mystery'\n");
    EXPECT_FALSE(std::filesystem::exists(header)) << "no output is written for a failed compile";
}
