// The compiler's reading of the component's definition and of the rules it applies
// where a definition leaves things implicit.
#include "compiler.h"
#include "header_writer.h"
#include "typelib_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace {

std::string component_definition()
{
    std::ifstream in(MORVANE_IDL_SOURCE);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const idl::Interface &named(const idl::Module &module, const std::string &name)
{
    for (const idl::Interface &iface : module.interfaces)
        if (iface.name == name)
            return iface;
    throw std::runtime_error("no interface " + name);
}

} // namespace

TEST(Compiler, TheDualInterfaceHasItsMembersInContractOrder)
{
    const idl::Module module = idl::compile(component_definition());
    const idl::Interface &dual = named(module, "IMorvane");
    EXPECT_TRUE(dual.dual);
    EXPECT_EQ(dual.first_slot, 7u);
    EXPECT_EQ(dual.slot_count(), 29u);
    ASSERT_EQ(dual.methods.size(), 22u);
    struct Expected {
        const char *header_name;
        int memid;
        idl::InvokeKind kind;
    };
    const Expected expected[22] = {
        {"get_lines", 1, idl::kInvokeGet},          {"put_lines", 1, idl::kInvokePut},
        {"get_columns", 2, idl::kInvokeGet},        {"put_columns", 2, idl::kInvokePut},
        {"get_max_features", 3, idl::kInvokeGet},   {"put_max_features", 3, idl::kInvokePut},
        {"track_corners", 4, idl::kInvokeFunc},     {"create_morvane", 5, idl::kInvokeFunc},
        {"destroy_morvane", 6, idl::kInvokeFunc},   {"get_stop_iterations", 7, idl::kInvokeGet},
        {"put_stop_iterations", 7, idl::kInvokePut}, {"get_stop_epsilon", 8, idl::kInvokeGet},
        {"put_stop_epsilon", 8, idl::kInvokePut},   {"get_feature_width", 9, idl::kInvokeGet},
        {"put_feature_width", 9, idl::kInvokePut},  {"get_feature_height", 10, idl::kInvokeGet},
        {"put_feature_height", 10, idl::kInvokePut}, {"get_pyramid_levels", 11, idl::kInvokeGet},
        {"put_pyramid_levels", 11, idl::kInvokePut}, {"get_calc_match_residue", 12, idl::kInvokeGet},
        {"put_calc_match_residue", 12, idl::kInvokePut}, {"get_match_residue", 13, idl::kInvokeGet},
    };
    for (std::size_t i = 0; i < 22; ++i) {
        SCOPED_TRACE(expected[i].header_name);
        EXPECT_EQ(dual.methods[i].member_name(), expected[i].header_name);
        EXPECT_EQ(dual.methods[i].memid, expected[i].memid);
        EXPECT_EQ(dual.methods[i].invkind, expected[i].kind);
        EXPECT_EQ(dual.methods[i].slot, 7 + i);
    }
    const idl::Method &track = dual.methods[6];
    ASSERT_EQ(track.params.size(), 4u);
    EXPECT_EQ(track.params[3].name, "matches");
    EXPECT_EQ(track.params[3].flags, idl::kParamOut | idl::kParamRetval);
    EXPECT_EQ(track.params[3].type.spelling(), "VARIANT *");
    EXPECT_EQ(dual.methods[12].params[0].type.spelling(), "FLOAT");
}

TEST(Compiler, TheRawInterfaceAndTheLibraryAreAsDeclared)
{
    const idl::Module module = idl::compile(component_definition());
    const idl::Interface &raw = named(module, "_IMorvane");
    EXPECT_FALSE(raw.oleautomation);
    ASSERT_EQ(raw.methods.size(), 1u);
    EXPECT_EQ(raw.methods[0].memid, 0x60010000);
    EXPECT_EQ(raw.methods[0].slot, 3u);
    std::vector<std::string> params;
    for (const idl::Param &p : raw.methods[0].params)
        params.push_back(p.type.spelling() + " " + p.name + (p.flags & idl::kParamOut ? " out" : ""));
    EXPECT_EQ(params, (std::vector<std::string>{"BYTE * imgA", "BYTE * imgB", "LONG count",
                                                "FLOAT * featA", "FLOAT * featB out",
                                                "BYTE * status out", "FLOAT * residue out"}));

    ASSERT_TRUE(module.library);
    EXPECT_EQ(module.library->major, 1);
    EXPECT_EQ(module.library->minor, 0);
    EXPECT_EQ(module.library->lcid, 0x0409u);
    ASSERT_EQ(module.library->entries.size(), 3u);
    EXPECT_EQ(module.library->entries[0].kind, idl::LibraryEntry::Kind::Coclass);
    EXPECT_EQ(module.interfaces[module.library->entries[1].index].name, "IMorvane");
    EXPECT_EQ(module.interfaces[module.library->entries[2].index].name, "_IMorvane");
    ASSERT_EQ(module.coclasses.size(), 1u);
    EXPECT_EQ(module.coclasses[0].impls[0].flags, idl::kImplDefault);
    EXPECT_EQ(module.coclasses[0].impls[1].flags, 0);
}

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
    const auto dir = std::filesystem::temp_directory_path() /
                     ("idl-run-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
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
    std::filesystem::remove_all(dir);
}
