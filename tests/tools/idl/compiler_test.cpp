// The rules the compiler applies where a definition leaves things implicit, and its
// outputs. What it makes of the component's definition is the contract file the type
// library tests compare with.
#include "compiler.h"
#include "header_writer.h"
#include "typelib_writer.h"

#include <gtest/gtest.h>

#include <sstream>

// Members without ids get 0x60000000 | depth << 16 | index; a property's accessors share one.
TEST(Compiler, MembersWithoutIdsGetIdsByDepthAndIndexAndBasesComeFirst)
{
    const idl::Module module = idl::compile(R"(
        [object, uuid(11111111-2222-3333-4444-555555555555)]
        interface IPlain : IUnknown { HRESULT first(); HRESULT second(); };
        [object, dual, uuid(11111111-2222-3333-4444-555555555556)]
        interface IAuto : IDispatch {
            HRESULT go();
            [propget] HRESULT size([out, retval] long *v);
            [propput] HRESULT size([in] long v);
            [propput, id(7)] HRESULT depth([in] long v);
            [propget] HRESULT depth([out, retval] long *v);
        };
        [object, uuid(11111111-2222-3333-4444-555555555557)]
        interface IMore : IPlain { HRESULT third(); };
        [uuid(11111111-2222-3333-4444-000000000003)] library L {
            importlib("stdole2.tlb");
            [uuid(11111111-2222-3333-4444-000000000004)] coclass C { [default] interface IMore; };
            interface IPlain;
        };
    )");
    std::ostringstream members;
    members << std::hex;
    for (const idl::Interface &iface : module.interfaces)
        for (const idl::Method &method : iface.methods)
            if (iface.name != "IUnknown" && iface.name != "IDispatch") // the base interfaces come first
                members << iface.name << "." << method.name << " " << method.memid << " " << method.slot << "\n";
    EXPECT_EQ(members.str(), "IPlain.first 60010000 3\nIPlain.second 60010001 4\nIAuto.go 60020000 7\n"
                             "IAuto.size 60020001 8\nIAuto.size 60020001 9\nIAuto.depth 7 a\nIAuto.depth 7 b\n"
                             "IMore.third 60020000 5\n");
    std::string order;
    for (const idl::LibraryEntry &entry : module.library->entries)
        order += (entry.kind == idl::LibraryEntry::Kind::Coclass ? module.coclasses[entry.index].name
                                                                  : module.interfaces[entry.index].name) + " ";
    EXPECT_EQ(order, "C IPlain IMore ");
    EXPECT_NO_THROW(idl::write_typelib(module));
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
    EXPECT_NE(header.find("STDMETHOD(a)(THIS) PURE;"), std::string::npos);
}
