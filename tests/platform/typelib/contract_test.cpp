// Compiled type libraries as text dumps (identifiers, versions, flags, every type
// and member with its slot, dispatch ID, kind, parameter names, types and flags,
// and the base interfaces it reaches), compared with committed files: the
// component's with contract.txt, so that a change to the interfaces shows up as a
// reviewed difference of that file, and further definitions' with features_contract.txt.
#include "typelib_dump.h"
#include "typelib_files.h"

#include "compiler.h"
#include "typelib_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using namespace typelib_test;
using test_support::dump;

// A dump compared with its committed file (MORVANE_WRITE_CONTRACT=1 writes the dump over it).
static void expect_committed(const std::string &text, const char *file)
{
    if (std::getenv("MORVANE_WRITE_CONTRACT") != nullptr)
        std::ofstream(file) << text;
    std::stringstream committed;
    committed << std::ifstream(file).rdbuf();
    EXPECT_EQ(text, committed.str()) << file;
}

TEST(Contract, TheCompiledTypeLibraryStatesTheCommittedContract)
{
    ITypeLib *library = nullptr;
    ASSERT_EQ(load_memory(component_typelib(), &library), S_OK);
    expect_committed(dump(library, true), CONTRACT_FILE);
}

// Definitions beyond the component's own: an interface derived from a dual one,
// property writes by reference, members without ids, the library's optional attributes.
constexpr const char *kDefinition = R"(
[object, uuid(6B1C0D1E-0000-4000-8000-000000000001), dual, hidden]
interface IShape : IDispatch
{
    [propget, id(0)] HRESULT name([out, retval] BSTR *value);
    HRESULT area([in] double scale, [out, retval] double *result);
};
[object, uuid(6B1C0D1E-0000-4000-8000-000000000002), dual]
interface ICircle : IShape
{
    [propputref] HRESULT origin([in] IUnknown *value);
    HRESULT peer([out, retval] IDispatch **other);
};
[uuid(6B1C0D1E-0000-4000-8000-000000000010), version(2.5), lcid(0x0407), control, helpcontext(3)]
library FeaturesLib
{
    importlib("stdole2.tlb");
    [uuid(6B1C0D1E-0000-4000-8000-000000000011), noncreatable]
    coclass Circle { [default] interface ICircle; [source, restricted] interface IShape; };
};
)";

// An IShape of the definition above, in the table layout the compiler gives it.
struct Shape : IDispatch {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOTIMPL; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }
    virtual HRESULT STDMETHODCALLTYPE get_name(BSTR *value) { return *value = SysAllocString(u"circle"), S_OK; }
    virtual HRESULT STDMETHODCALLTYPE area(double scale, double *result) { return *result = 3.0 * scale, S_OK; }
};

// The further definitions compile to the library they state, and Invoke hands back
// text and real results with their types.
TEST(Contract, FurtherDefinitionsCompileToTheirLibraryAndInvoke)
{
    const std::string bytes = idl::write_typelib(idl::compile(kDefinition));
    ITypeLib *library = nullptr;
    ASSERT_EQ(load_memory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), &library), S_OK);
    ITypeInfo *shape_info = nullptr;
    ASSERT_EQ(library->GetTypeInfo(1, &shape_info), S_OK);
    expect_committed(dump(library, false), FEATURES_CONTRACT_FILE);

    Shape shape;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result{}, scale{};
    ASSERT_EQ(shape_info->Invoke(&shape, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(narrow(result.bstrVal), "circle");
    VariantClear(&result);
    scale.vt = VT_I4;
    scale.lVal = 2;
    DISPPARAMS one{&scale, nullptr, 1, 0};
    ASSERT_EQ(shape_info->Invoke(&shape, 0x60020001, DISPATCH_METHOD, &one, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_R8);
    EXPECT_EQ(result.dblVal, 6.0);
    shape_info->Release();
}
