// Definitions beyond the component's own, compiled and read back: interfaces derived
// from a dual interface, property writes by reference, members without ids, and the
// library's optional attributes.
#include "typelib_files.h"
#include "typelib_walk.h"

#include "compiler.h"
#include "typelib_writer.h"

#include <gtest/gtest.h>

#include <string>

using namespace typelib_test;

namespace {

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

class CompiledDefinition : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string bytes = idl::write_typelib(idl::compile(kDefinition));
        ASSERT_EQ(load_memory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), &library_), S_OK);
    }
    void TearDown() override
    {
        if (library_)
            library_->Release();
    }

    ITypeInfo *info(UINT index)
    {
        ITypeInfo *result = nullptr;
        EXPECT_EQ(library_->GetTypeInfo(index, &result), S_OK);
        return result;
    }
    static TYPEKIND kind_of(ITypeInfo *info)
    {
        TYPEATTR *attr = nullptr;
        EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
        const TYPEKIND kind = attr->typekind;
        info->ReleaseTypeAttr(attr);
        return kind;
    }
    static ITypeInfo *follow(ITypeInfo *from, UINT impl)
    {
        HREFTYPE ref = 0;
        EXPECT_EQ(from->GetRefTypeOfImplType(impl, &ref), S_OK);
        ITypeInfo *to = nullptr;
        EXPECT_EQ(from->GetRefTypeInfo(ref, &to), S_OK);
        return to;
    }

    ITypeLib *library_ = nullptr;
};

} // namespace

TEST_F(CompiledDefinition, LibraryAttributesOrderAndClassFlagsFollowTheDefinition)
{
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->wMajorVerNum, 2);
    EXPECT_EQ(attr->wMinorVerNum, 5);
    EXPECT_EQ(attr->lcid, 0x0407u);
    EXPECT_EQ(attr->wLibFlags, LIBFLAG_FCONTROL);
    library_->ReleaseTLibAttr(attr);
    DWORD context = 0;
    ASSERT_EQ(library_->GetDocumentation(-1, nullptr, nullptr, &context, nullptr), S_OK);
    EXPECT_EQ(context, 3u);
    // The class, then the base before the interface derived from it.
    ASSERT_EQ(library_->GetTypeInfoCount(), 3u);
    const char *names[3] = {"Circle", "IShape", "ICircle"};
    for (UINT i = 0; i < 3; ++i) {
        BSTR name = nullptr;
        ASSERT_EQ(library_->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(narrow(name), names[i]);
        SysFreeString(name);
    }
    ITypeInfo *circle = info(0);
    TYPEATTR *type = nullptr;
    ASSERT_EQ(circle->GetTypeAttr(&type), S_OK);
    EXPECT_FALSE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
    circle->ReleaseTypeAttr(type);
    INT flags = 0;
    ASSERT_EQ(circle->GetImplTypeFlags(1, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FSOURCE | IMPLTYPEFLAG_FRESTRICTED);
    circle->Release();
    EXPECT_GE(walk(library_), 8u) << "a walk reaches the inherited members";
}

TEST_F(CompiledDefinition, ADerivedDualInterfaceLeadsToItsBaseInTheSameView)
{
    ITypeInfo *dispatch = info(2);
    EXPECT_EQ(kind_of(dispatch), TKIND_DISPATCH);
    ITypeInfo *base_dispatch = follow(dispatch, 0);
    EXPECT_EQ(kind_of(base_dispatch), TKIND_DISPATCH);

    ITypeInfo *table = follow(dispatch, static_cast<UINT>(-1));
    EXPECT_EQ(kind_of(table), TKIND_INTERFACE);
    ITypeInfo *base_table = follow(table, 0);
    EXPECT_EQ(kind_of(base_table), TKIND_INTERFACE);
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(base_table->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cbSizeVft, 9 * 8);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
    base_table->ReleaseTypeAttr(attr);

    // The derived interface's members follow its base's in the table.
    FUNCDESC *desc = nullptr;
    ASSERT_EQ(table->GetFuncDesc(0, &desc), S_OK);
    EXPECT_EQ(desc->oVft, 9 * 8);
    EXPECT_EQ(desc->invkind, INVOKE_PROPERTYPUTREF);
    EXPECT_EQ(desc->memid, 0x60030000);
    EXPECT_EQ(desc->lprgelemdescParam[0].tdesc.vt, VT_UNKNOWN);
    table->ReleaseFuncDesc(desc);
    ASSERT_EQ(dispatch->GetFuncDesc(1, &desc), S_OK);
    EXPECT_EQ(desc->elemdescFunc.tdesc.vt, VT_DISPATCH);
    EXPECT_EQ(desc->cParams, 0);
    dispatch->ReleaseFuncDesc(desc);

    // A write by reference names no value.
    BSTR names[3] = {};
    UINT count = 0;
    ASSERT_EQ(table->GetNames(0x60030000, names, 3, &count), S_OK);
    EXPECT_EQ(count, 1u);
    SysFreeString(names[0]);

    for (ITypeInfo *i : {dispatch, base_dispatch, table, base_table})
        i->Release();
}

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
    virtual HRESULT STDMETHODCALLTYPE get_name(BSTR *value)
    {
        *value = SysAllocString(u"circle");
        return S_OK;
    }
    virtual HRESULT STDMETHODCALLTYPE area(double scale, double *result)
    {
        *result = 3.0 * scale;
        return S_OK;
    }
};

TEST_F(CompiledDefinition, InvokeHandsBackTextAndRealResultsWithTheirTypes)
{
    ITypeInfo *shape_info = info(1);
    Shape shape;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(shape_info->Invoke(&shape, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(narrow(result.bstrVal), "circle");
    VariantClear(&result);

    MEMBERID area = 0;
    LPOLESTR name = const_cast<LPOLESTR>(u"area");
    ASSERT_EQ(shape_info->GetIDsOfNames(&name, 1, &area), S_OK);
    VARIANT scale;
    scale.vt = VT_I4;
    scale.lVal = 2;
    DISPPARAMS one{&scale, nullptr, 1, 0};
    ASSERT_EQ(shape_info->Invoke(&shape, area, DISPATCH_METHOD, &one, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_R8);
    EXPECT_EQ(result.dblVal, 6.0);
    shape_info->Release();
}
