// What the interface compiler produces, compared with committed files: the component's
// type library and further definitions' (dumped as text), and a small definition's header.
#include "counting_objects.h"
#include "scratch_folder.h"
#include "typelib_dump.h"
#include "typelib_walk.h"

#include "compiler.h"
#include "header_writer.h"
#include "typelib_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

using test_support::dump;
using test_support::load_memory;
using test_support::read_file;

namespace {

// A text compared with its committed file (MORVANE_WRITE_CONTRACT=1 writes the text over it).
void expect_committed(const std::string &text, const char *file)
{
    if (std::getenv("MORVANE_WRITE_CONTRACT") != nullptr)
        std::ofstream(file) << text;
    const std::vector<std::uint8_t> committed = read_file(file);
    EXPECT_EQ(text, std::string(committed.begin(), committed.end())) << file;
}

TEST(Contract, TheCompiledTypeLibraryStatesTheCommittedContract)
{
    ITypeLib *library = nullptr;
    ASSERT_EQ(load_memory(read_file(MORVANE_TYPELIB), &library), S_OK);
    expect_committed(dump(library, true), CONTRACT_FILE);
}

// An IShape of features.idl, in the table layout the compiler gives it.
struct Shape : CountingDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_name(BSTR *value) { return *value = SysAllocString(u"circle"), S_OK; }
    virtual HRESULT STDMETHODCALLTYPE area(double scale, double *result) { return *result = 3.0 * scale, S_OK; }
};

// Further definitions compile to their library, and Invoke hands back text and real results.
TEST(Contract, FurtherDefinitionsCompileToTheirLibraryAndInvoke)
{
    const std::vector<std::uint8_t> source = read_file(FEATURES_IDL_FILE);
    const std::string bytes = idl::write_typelib(idl::compile(std::string(source.begin(), source.end())));
    ITypeLib *library = nullptr;
    ASSERT_EQ(load_memory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), &library), S_OK);
    ITypeInfo *shape_info = nullptr;
    ASSERT_EQ(library->GetTypeInfoOfGuid({0x6B1C0D1E, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}}, &shape_info), S_OK);
    expect_committed(dump(library, false), FEATURES_CONTRACT_FILE);

    Shape shape;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result{}, scale{};
    scale.vt = VT_I4;
    scale.lVal = 2;
    ASSERT_EQ(shape_info->Invoke(&shape, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result.bstrVal), u"circle");
    VariantClear(&result);
    DISPPARAMS one{&scale, nullptr, 1, 0};
    ASSERT_EQ(shape_info->Invoke(&shape, 0x60020001, DISPATCH_METHOD, &one, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(std::pair(result.vt, result.dblVal), std::pair(VARTYPE(VT_R8), 6.0));
    shape_info->Release();
}

// Slots, dispatch IDs, signatures and call macros of a small definition's header.
TEST(Contract, TheGeneratedHeaderOfASmallDefinition)
{
    const std::vector<std::uint8_t> source = read_file(SMALL_IDL_FILE);
    expect_committed(idl::write_header(idl::compile(std::string(source.begin(), source.end())), "small.h", "small.idl"),
                     SMALL_HEADER_FILE);
}

} // namespace
