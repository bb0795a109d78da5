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

TEST(Diagnostics, EachFaultIsReportedAtItsPlace)
{
    const std::string lib = "[uuid(11111111-2222-3333-4444-000000000000)] library L ";
    const std::string itest = interface_with("    HRESULT f();"); // what a library can name
    const std::pair<std::string, std::string> cases[] = {
        {"[helpstring(\"open\n", "1:13: unterminated string"},
        {"  /* never closed", "1:3: unterminated comment"},
        {"interface $", "1:11: unexpected character '$'"},
        {"#include \"x.h\"", "1:1: preprocessor directives are not supported"},
        {"[id(99999999999)]", "1:5: number '99999999999' does not fit in 32 bits"},
        {"[version(1.2.3)]", "1:10: malformed number '1.2.3'"},
        {"[helpstring(\"a\\q\")]", "1:16: unknown escape sequence '\\q'"},
        {interface_with("    HRESULT f()\n"), "6:1: expected ';' after the method declaration, found '}'"},
        {interface_with("    HRESULT f(long x;"), "4:21: expected ')' to close the parameter list, found ';'"},
        {"[object, " + kUuid + "]\ninterface ITest : IDispatch\n{\n",
         "4:1: expected '}' to close the interface body, found end of file"},
        {"[object, uuid(1111-2222)] interface I : IUnknown {};",
         "1:15: malformed identifier '1111-2222' (expected XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX)"},
        {"typedef long LONG2;", "1:1: 'typedef' declarations are not supported"},
        {"coclass C {};", "1:1: a coclass must be declared inside the library block"},
        {"importlib(\"stdole2.tlb\");", "1:1: importlib is only allowed inside the library block"},
        {lib + "{};\n[uuid(11111111-2222-3333-4444-555555555556)] library B {};",
         "2:46: only one library block is allowed"},
        {"42", "1:1: expected 'import', 'interface' or 'library', found '42'"},
        {interface_with("", "object, " + kUuid + ", propget"), "1:54: attribute 'propget' is not allowed on an interface"},
        {interface_with("", "object, object, " + kUuid), "1:10: attribute 'object' is given twice"},
        {interface_with("    [id(\"one\")] HRESULT f();"), "4:6: attribute 'id' needs a number"},
        {interface_with("    [propget(1)] HRESULT f([out, retval] long *v);"), "4:6: attribute 'propget' takes no argument"},
        {interface_with("", "object"), "2:11: interface 'ITest' needs a uuid attribute"},
        {interface_with("", kUuid),
         "2:11: interface 'ITest' needs the 'object' attribute: only object interfaces are supported"},
        {interface_with("", "object, " + kUuid + ", pointer_default(shared)"),
         "1:54: attribute 'pointer_default' needs unique, ref or ptr"},
        {interface_with("", "object, " + kUuid, "IBase"), "2:19: unknown base interface 'IBase'"},
        {interface_with("", kDual, "IUnknown"), "1:10: dual interface 'ITest' must derive from IDispatch"},
        {interface_with("    HRESULT f([in] mystery x);"), "4:20: unknown type 'mystery'"},
        {interface_with("    [propget] HRESULT f([out] long *v);"),
         "4:23: property read 'f' must end with an [out, retval] parameter"},
        {interface_with("    [propput] HRESULT f();"),
         "4:23: property write 'f' must end with an [in] parameter for the value"},
        {interface_with("    HRESULT f([out, retval] long *a, [in] long b);"), "4:21: 'retval' must be on the last parameter"},
        {interface_with("    HRESULT f([out] long a);"), "4:21: out parameter 'a' must be a pointer"},
        {interface_with("    HRESULT f([in] long);"), "4:15: parameters need a name"},
        {interface_with("    HRESULT f([in] long a, [in] long a);"), "4:28: parameter 'a' is declared twice"},
        {interface_with("    [id(1)] HRESULT f();\n    [id(1)] HRESULT g();"), "5:21: id 1 of 'g' is already used by 'f'"},
        {interface_with("    HRESULT f();\n    HRESULT f();"), "5:13: 'f' is already declared at line 4"},
        {interface_with("    HRESULT Invoke();"), "4:13: 'Invoke' is already a member of base interface IDispatch"},
        {itest + "[object, " + kUuid + "] interface IOther : IUnknown {};",
         "6:10: identifier 11111111-2222-3333-4444-555555555555 is already used by 'ITest'"},
        {interface_with("    long f();", kDual), "4:5: members of automation interface 'ITest' must return HRESULT"},
        {interface_with("    HRESULT f([in] void *p);", kDual),
         "4:20: type 'void *' of parameter 'p' is not automation-compatible"},
        {interface_with("    HRESULT f([in] long ***x);"), "4:20: more than two levels of pointers are not supported"},
        {itest + lib + "{ importlib(\"other.tlb\"); };",
         "6:68: cannot import library \"other.tlb\": only stdole2.tlb is known"},
        {itest + "[version(1.0)] library L {};", "6:24: library 'L' needs a uuid attribute"},
        {itest + lib + "{\n  [uuid(11111111-2222-3333-4444-000000000001)] coclass C { interface IMissing; };\n};",
         "7:70: unknown interface 'IMissing'"},
        {itest + "[object, uuid(11111111-2222-3333-4444-000000000009)] interface ISecond : IUnknown {};\n" + lib +
             "{\n  [uuid(11111111-2222-3333-4444-000000000001)] coclass C {\n"
             "    [default] interface ITest; [default] interface ISecond; };\n};",
         "9:52: coclass 'C' has more than one default interface"},
        {"import \"windows.idl\";", "1:8: cannot import \"windows.idl\": only the platform's own definitions "
                                    "(oaidl.idl, ocidl.idl, objidl.idl, unknwn.idl, wtypes.idl) are known"},
        {"interface \x01", "1:11: unexpected character (byte 1)"},
        {"[uuid()] library L {};", "1:7: expected an identifier of the form XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"},
        {"[version(70000.0)] library L {};", "1:10: version numbers must fit in 16 bits"},
        {interface_with("    HRESULT f([in] const long x);"), "4:20: 'const' is not supported"},
        {interface_with("    HRESULT f([in] long x[4]);"), "4:26: array parameters are not supported"},
        {interface_with("    HRESULT f([in, out, retval] long *a);"), "4:25: 'retval' needs 'out' without 'in'"},
        {interface_with("    [propget, propput] HRESULT f([in] long v);"),
         "4:15: a method can be only one of propget, propput and propputref"},
        {interface_with("    [helpcontext(-1)] HRESULT f();"), "4:6: help context out of range"},
        {interface_with("    [id(-2147483649)] HRESULT f();"), "4:6: id out of range"},
        {interface_with("    HRESULT f([in] IUnknown x);"), "4:20: interface type 'IUnknown' must be used through a pointer"},
        {interface_with("    [propget, id(1)] HRESULT p([out, retval] long *v);\n    [propput, id(2)] HRESULT p([in] long v);"),
         "5:30: the accessors of property 'p' have different ids"},
        {itest + "[uuid(11111111-2222-3333-4444-000000000000), lcid(-1)] library L {};", "6:46: locale out of range"},
        // Plain object interfaces take any type, and a header alone needs no library.
        {interface_with("    HRESULT f([in] void *p, [in] unsigned long n);"), ""},
    };
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
