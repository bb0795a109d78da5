// The rules the compiler applies where a definition leaves things implicit, and its
// outputs. What it makes of the component's definition is the contract file the type
// library tests compare with.
#include "compiler.h"
#include "header_writer.h"
#include "typelib_writer.h"

#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const idl::Interface &named(const idl::Module &module, const std::string &name)
{
    for (const idl::Interface &iface : module.interfaces)
        if (iface.name == name)
            return iface;
    throw std::runtime_error("no interface " + name);
}

} // namespace

TEST(Compiler, MembersWithoutIdsGetIdsByDepthAndIndexAndPropertiesShareThem)
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
    )");
    const idl::Interface &plain = named(module, "IPlain");
    EXPECT_EQ(plain.methods[0].memid, 0x60010000);
    EXPECT_EQ(plain.methods[1].memid, 0x60010001);
    const idl::Interface &automatic = named(module, "IAuto");
    EXPECT_EQ(automatic.methods[0].memid, 0x60020000);
    EXPECT_EQ(automatic.methods[1].memid, 0x60020001);
    EXPECT_EQ(automatic.methods[2].memid, 0x60020001);
    EXPECT_EQ(automatic.methods[3].memid, 7);
    EXPECT_EQ(automatic.methods[4].memid, 7);
    const idl::Interface &more = named(module, "IMore");
    EXPECT_EQ(more.first_slot, 5u);
    EXPECT_EQ(more.methods[0].memid, 0x60020000);
    EXPECT_EQ(more.methods[0].slot, 5u);
}

TEST(Compiler, LibraryOrderPutsBasesBeforeTheInterfacesThatNeedThem)
{
    const idl::Module module = idl::compile(R"(
        [object, uuid(11111111-2222-3333-4444-000000000001)] interface IBase : IUnknown { HRESULT a(); };
        [object, uuid(11111111-2222-3333-4444-000000000002)] interface IDerived : IBase { HRESULT b(); };
        [uuid(11111111-2222-3333-4444-000000000003)] library L {
            importlib("stdole2.tlb");
            [uuid(11111111-2222-3333-4444-000000000004)] coclass C { [default] interface IDerived; };
            interface IBase;
        };
    )");
    std::vector<std::string> order;
    for (const idl::LibraryEntry &entry : module.library->entries)
        order.push_back(entry.kind == idl::LibraryEntry::Kind::Coclass
                            ? module.coclasses[entry.index].name
                            : module.interfaces[entry.index].name);
    EXPECT_EQ(order, (std::vector<std::string>{"C", "IBase", "IDerived"}));
    EXPECT_NO_THROW(idl::write_typelib(module));
}

TEST(Compiler, HeaderCommentsCannotBeClosedByHelpStrings)
{
    const idl::Module module = idl::compile(R"(
        [object, uuid(11111111-2222-3333-4444-000000000001), helpstring("ends */ early")]
        interface IOdd : IUnknown { [helpstring("line\nbreak */")] HRESULT a(); };
    )");
    const std::string header = idl::write_header(module, "odd.h", "odd.idl");
    EXPECT_EQ(header.find("ends */"), std::string::npos);
    EXPECT_EQ(header.find("break */"), std::string::npos);
    EXPECT_NE(header.find("#ifndef MORVANE_GENERATED_ODD_H"), std::string::npos);
    EXPECT_NE(header.find("STDMETHOD(a)(THIS) PURE;"), std::string::npos);
}

TEST(Compiler, RunWritesBothOutputsAndNothingOnFailure)
{
    const test_support::ScratchFolder folder;
    const auto &dir = folder.path();
    idl::Options options;
    options.input_path = MORVANE_IDL_SOURCE;
    options.header_path = (dir / "out.h").string();
    options.tlb_path = (dir / "out.tlb").string();
    std::string message;
    ASSERT_TRUE(idl::run(options, message)) << message;
    EXPECT_GT(std::filesystem::file_size(options.header_path), 0u);
    EXPECT_GT(std::filesystem::file_size(options.tlb_path), 0u);

    options.input_path = (dir / "missing.idl").string();
    options.header_path = (dir / "other.h").string();
    EXPECT_FALSE(idl::run(options, message));
    EXPECT_NE(message.find("missing.idl: cannot open"), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(options.header_path));
}
