// Compiled type libraries as text dumps (identifiers, versions, flags, every type
// and member with its slot, dispatch ID, kind, parameter names, types and flags,
// and the base interfaces it reaches). The component's dump is compared with the
// committed contract.txt, so a change to the interfaces shows up as a reviewed
// difference of that file (MORVANE_WRITE_CONTRACT=1 writes the new dump over it).
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

TEST(Contract, TheCompiledTypeLibraryStatesTheCommittedContract)
{
    ITypeLib *library = nullptr;
    ASSERT_EQ(load_memory(component_typelib(), &library), S_OK);
    const std::string text = dump(library, true);
    if (std::getenv("MORVANE_WRITE_CONTRACT") != nullptr)
        std::ofstream(CONTRACT_FILE) << text;
    std::stringstream committed;
    committed << std::ifstream(CONTRACT_FILE).rdbuf();
    EXPECT_EQ(text, committed.str());
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
    EXPECT_EQ(dump(library, false), R"(library FeaturesLib {6B1C0D1E-0000-4000-8000-000000000010} 2.5 lcid 0x407 syskind 3 flags 0x2 help 3 ""

type Circle kind 5 {6B1C0D1E-0000-4000-8000-000000000011} 0.0 flags 0x0 slots 0 from library 2.5 index 0 ""
  implements ICircle flags 1
  implements IShape flags 6

type ICircle kind 4 {6B1C0D1E-0000-4000-8000-000000000002} 0.0 flags 0x1140 slots 7 from library 2.5 index 2 ""
  0x60030000 origin invoke 8 func 4 slot 9 flags 0x0 returns VOID "" (- UNKNOWN 0x1)
  0x60030001 peer invoke 1 func 4 slot 10 flags 0x0 returns DISPATCH "" ()
  implements IShape flags 0
  implements (table view) ICircle flags 0

type IShape kind 4 {6B1C0D1E-0000-4000-8000-000000000001} 0.0 flags 0x1150 slots 7 from library 2.5 index 1 ""
  0x0 name invoke 2 func 4 slot 7 flags 0x0 returns BSTR "" ()
  0x60020001 area invoke 1 func 4 slot 8 flags 0x0 returns R8 "" (scale R8 0x1)
  implements IDispatch flags 0
  implements (table view) IShape flags 0

type IShape kind 3 {6B1C0D1E-0000-4000-8000-000000000001} 0.0 flags 0x1150 slots 9 from library 2.5 index 1 ""
  0x0 name invoke 2 func 1 slot 7 flags 0x0 returns HRESULT "" (value BSTR* 0xa)
  0x60020001 area invoke 1 func 1 slot 8 flags 0x0 returns HRESULT "" (scale R8 0x1, result R8* 0xa)
  implements IDispatch flags 0

type ICircle kind 3 {6B1C0D1E-0000-4000-8000-000000000002} 0.0 flags 0x1140 slots 11 from library 2.5 index 2 ""
  0x60030000 origin invoke 8 func 1 slot 9 flags 0x0 returns HRESULT "" (- UNKNOWN 0x1)
  0x60030001 peer invoke 1 func 1 slot 10 flags 0x0 returns HRESULT "" (other DISPATCH* 0xa)
  implements IShape flags 0
)");

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
