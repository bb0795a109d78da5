// ITypeInfo::Invoke on the component's type information: members chosen by
// identifier and kind, arguments converted to the declared types, results handed
// back in variants, failures reported with their own code and error record.
#include "typelib_files.h"
#include "tracker_stub.h"

#include <morvane.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace typelib_test;

namespace {

// Records which members ran; keeps lines and epsilon; put_lines refuses values
// below 1 with E_INVALIDARG and an error record, as the tracker does.
class RecordingTracker final : public morvane::test::TrackerStub {
public:
    std::vector<std::string> calls;
    LONG lines = 0;
    FLOAT epsilon = 0.0f;
    VARIANT seen[3]{}; // track_corners' arguments as they arrived (shallow copies)

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOTIMPL; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_lines(LONG *value) override { return *value = lines, unexpected("get_lines"); }
    HRESULT STDMETHODCALLTYPE put_lines(LONG value) override
    {
        unexpected("put_lines");
        if (value >= 1)
            return lines = value, S_OK;
        ICreateErrorInfo *create = nullptr;
        CreateErrorInfo(&create);
        create->SetSource(const_cast<LPOLESTR>(u"Morvane.CoMorvane.1"));
        create->SetDescription(const_cast<LPOLESTR>(u"Number of lines must be a positive integer"));
        create->SetHelpFile(const_cast<LPOLESTR>(u"morvane.hlp"));
        create->SetHelpContext(42);
        IErrorInfo *record = nullptr;
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&record));
        SetErrorInfo(0, record);
        record->Release();
        create->Release();
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_stop_epsilon(FLOAT *value) override { return *value = epsilon, S_OK; }
    HRESULT STDMETHODCALLTYPE put_stop_epsilon(FLOAT value) override { return epsilon = value, S_OK; }
    HRESULT STDMETHODCALLTYPE track_corners(VARIANT a, VARIANT b, VARIANT features, VARIANT *matches) override
    {
        seen[0] = a, seen[1] = b, seen[2] = features;
        SAFEARRAYBOUND bounds[2] = {{2, 0}, {1, 0}}; // a new matrix the caller owns
        matches->vt = VT_ARRAY | VT_R8;
        matches->parray = SafeArrayCreate(VT_R8, 2, bounds);
        return unexpected("track_corners");
    }
    HRESULT STDMETHODCALLTYPE get_match_residue(VARIANT *value) override
    {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(u"residue");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override { return E_FAIL; } // fails without a record

protected:
    HRESULT unexpected(const char *name) override { return calls.push_back(name), S_OK; }
};

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
};

VARIANT of(VARTYPE vt, double value)
{
    VARIANT v{};
    v.vt = vt;
    if (vt == VT_I4)
        v.lVal = static_cast<LONG>(value);
    else
        v.dblVal = value;
    return v;
}

class TypeInfoInvoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(load(folder_.write("morvane.tlb", component_typelib()), &library_), S_OK);
        ASSERT_EQ(library_->GetTypeInfoOfGuid(IID_IMorvane, &info_), S_OK);
        SetErrorInfo(0, nullptr);
    }
    void TearDown() override
    {
        SetErrorInfo(0, nullptr);
        info_->Release();
        library_->Release();
    }

    HRESULT call(MEMBERID memid, WORD flags, std::vector<VARIANT> args, VARIANT *result,
                 std::vector<DISPID> named = {}, UINT *arg_error = nullptr, EXCEPINFO *exception = nullptr,
                 ITypeInfo *info = nullptr)
    {
        DISPPARAMS params{args.empty() ? nullptr : args.data(), named.empty() ? nullptr : named.data(),
                          static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
        return (info ? info : info_)
            ->Invoke(static_cast<IMorvane *>(&tracker_), memid, flags, &params, result, exception, arg_error);
    }
    // A property write: the value is the argument named DISPID_PROPERTYPUT.
    HRESULT put(MEMBERID memid, VARIANT value, UINT *arg_error = nullptr, EXCEPINFO *exception = nullptr,
                ITypeInfo *info = nullptr)
    {
        return call(memid, DISPATCH_PROPERTYPUT, {value}, nullptr, {DISPID_PROPERTYPUT}, arg_error, exception, info);
    }

    ScratchFolder folder_;
    ITypeLib *library_ = nullptr;
    ITypeInfo *info_ = nullptr;
    RecordingTracker tracker_;
};

TEST_F(TypeInfoInvoke, PropertiesAreWrittenAndReadWithArgumentsConvertedToTheDeclaredTypes)
{
    Variant text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"640");
    EXPECT_EQ(put(1, text), S_OK);
    EXPECT_EQ(tracker_.lines, 640);
    EXPECT_EQ(text.vt, VT_BSTR) << "the caller's argument is left as it was";
    double real = 321.75; // a reference to a double, rounded to long
    VARIANT reference{};
    reference.vt = VT_BYREF | VT_R8;
    reference.pdblVal = &real;
    EXPECT_EQ(put(1, reference), S_OK);
    Variant result;
    // A call that may also read a property reaches the read member; an unwanted result still runs it.
    EXPECT_EQ(call(1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 322);
    EXPECT_EQ(call(1, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);
    EXPECT_EQ(tracker_.calls, (std::vector<std::string>{"put_lines", "put_lines", "get_lines", "get_lines"}));
    EXPECT_EQ(put(8, of(VT_R8, 0.25)), S_OK);
    EXPECT_EQ(call(8, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_R4);
    EXPECT_FLOAT_EQ(result.fltVal, 0.25f);

    // The table view of the dual interface invokes too.
    HREFTYPE ref = 0;
    ITypeInfo *table = nullptr;
    ASSERT_EQ(info_->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(info_->GetRefTypeInfo(ref, &table), S_OK);
    EXPECT_EQ(put(1, of(VT_I4, 12), nullptr, nullptr, table), S_OK);
    EXPECT_EQ(call(1, DISPATCH_PROPERTYGET, {}, &result, {}, nullptr, nullptr, table), S_OK);
    EXPECT_EQ(result.lVal, 12);
    table->Release();
}

TEST_F(TypeInfoInvoke, FailedConversionsAndUnknownNamesBlameTheirArgument)
{
    Variant text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"many");
    const struct {
        MEMBERID memid;
        WORD flags;
        std::vector<VARIANT> args;
        std::vector<DISPID> named;
        HRESULT expected;
        UINT blamed;
    } cases[] = {
        {1, DISPATCH_PROPERTYPUT, {text}, {DISPID_PROPERTYPUT}, DISP_E_TYPEMISMATCH, 0},
        {1, DISPATCH_PROPERTYPUT, {of(VT_R8, 1e12)}, {DISPID_PROPERTYPUT}, DISP_E_OVERFLOW, 0},
        // A named argument that is not the first in rgvarg is blamed by its own index.
        {4, DISPATCH_METHOD, {of(VT_R8, 1), of(VT_R8, 2), of(VT_R8, 3)}, {0, 1, 7}, DISP_E_PARAMNOTFOUND, 2},
    };
    for (const auto &c : cases) {
        UINT blamed = 99;
        EXPECT_EQ(call(c.memid, c.flags, c.args, nullptr, c.named, &blamed), c.expected);
        EXPECT_EQ(blamed, c.blamed);
    }
    EXPECT_EQ(put(1, of(VT_R8, -1e12)), DISP_E_OVERFLOW) << "without a location for the index";
    EXPECT_TRUE(tracker_.calls.empty());
}

TEST_F(TypeInfoInvoke, MethodsWithoutArgumentsAndWithMatrices)
{
    Variant nothing;
    EXPECT_EQ(call(5, DISPATCH_METHOD, {}, &nothing), S_OK);
    EXPECT_EQ(nothing.vt, VT_EMPTY);
    EXPECT_EQ(tracker_.calls, std::vector<std::string>{"create_morvane"});

    // track_corners(imgA, imgB, features): the last parameter comes first.
    VARIANT args[3]{};
    SAFEARRAYBOUND bounds[2] = {{4, 0}, {6, 0}};
    for (int i = 0; i < 3; ++i) {
        args[i].vt = VT_ARRAY | (i == 0 ? VT_R8 : VT_UI1);
        args[i].parray = SafeArrayCreate(i == 0 ? VT_R8 : VT_UI1, 2, bounds);
    }
    Variant matches;
    EXPECT_EQ(call(4, DISPATCH_METHOD, {args[0], args[1], args[2]}, &matches), S_OK);
    const auto arrived = [&](int a, int b, int features) {
        EXPECT_EQ(tracker_.seen[0].vt, VT_ARRAY | VT_UI1);
        EXPECT_EQ(tracker_.seen[0].parray, args[a].parray);
        EXPECT_EQ(tracker_.seen[1].parray, args[b].parray);
        EXPECT_EQ(tracker_.seen[2].vt, VT_ARRAY | VT_R8);
        EXPECT_EQ(tracker_.seen[2].parray, args[features].parray);
    };
    arrived(2, 1, 0);
    ASSERT_EQ(matches.vt, VT_ARRAY | VT_R8);
    EXPECT_EQ(SafeArrayGetDim(matches.parray), 2u);
    // The same by name, in another order; and with the result not wanted (it is freed).
    tracker_.seen[0] = tracker_.seen[1] = tracker_.seen[2] = VARIANT{};
    EXPECT_EQ(call(4, DISPATCH_METHOD, {args[2], args[0], args[1]}, nullptr, {0, 2, 1}), S_OK);
    arrived(2, 1, 0);

    Variant residue; // a VARIANT result comes back as the member made it
    EXPECT_EQ(call(13, DISPATCH_PROPERTYGET, {}, &residue), S_OK);
    ASSERT_EQ(residue.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(residue.bstrVal), u"residue");
    EXPECT_EQ(call(13, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);
    for (VARIANT &arg : args)
        SafeArrayDestroy(arg.parray);
}

// Refused before any member runs: no such member of that kind, wrong argument
// counts, misnamed arguments, missing parameters.
TEST_F(TypeInfoInvoke, MembersAndArgumentsAreCheckedBeforeTheCall)
{
    const VARIANT one = of(VT_I4, 1);
    const struct {
        MEMBERID memid;
        WORD flags;
        std::vector<VARIANT> args;
        std::vector<DISPID> named;
        HRESULT expected;
    } cases[] = {
        {99, DISPATCH_METHOD, {}, {}, DISP_E_MEMBERNOTFOUND},
        {0, DISPATCH_PROPERTYGET, {}, {}, DISP_E_MEMBERNOTFOUND},
        {1, DISPATCH_METHOD, {}, {}, DISP_E_MEMBERNOTFOUND}, // exists as a property only
        {5, DISPATCH_PROPERTYGET, {}, {}, DISP_E_MEMBERNOTFOUND},
        {13, DISPATCH_PROPERTYPUT, {one}, {DISPID_PROPERTYPUT}, DISP_E_MEMBERNOTFOUND},
        {5, DISPATCH_PROPERTYPUT, {one}, {DISPID_PROPERTYPUT}, DISP_E_MEMBERNOTFOUND},
        {5, 0, {}, {}, DISP_E_MEMBERNOTFOUND},
        {5, DISPATCH_METHOD, {one}, {}, DISP_E_BADPARAMCOUNT},
        {1, DISPATCH_PROPERTYGET, {one}, {}, DISP_E_BADPARAMCOUNT},
        {4, DISPATCH_METHOD, {one, one}, {}, DISP_E_BADPARAMCOUNT},
        {4, DISPATCH_METHOD, {one, one, one, one}, {}, DISP_E_BADPARAMCOUNT},
        // A write's value must be named DISPID_PROPERTYPUT, and nothing else may be named.
        {1, DISPATCH_PROPERTYPUT, {one}, {}, DISP_E_PARAMNOTFOUND},
        {1, DISPATCH_PROPERTYPUT, {one}, {0}, DISP_E_PARAMNOTFOUND},
        {1, DISPATCH_PROPERTYPUT, {one, one}, {DISPID_PROPERTYPUT, 0}, DISP_E_NONAMEDARGS},
        {1, DISPATCH_PROPERTYPUT, {one, one}, {DISPID_PROPERTYPUT}, DISP_E_BADPARAMCOUNT},
        // DISPID_PROPERTYPUT names nothing in a method; a parameter is not given twice or left out.
        {5, DISPATCH_METHOD, {one}, {DISPID_PROPERTYPUT}, DISP_E_PARAMNOTFOUND},
        {4, DISPATCH_METHOD, {one, one, one}, {0, 1}, DISP_E_PARAMNOTFOUND},
        {4, DISPATCH_METHOD, {one, one}, {0, 2}, DISP_E_PARAMNOTOPTIONAL},
    };
    for (const auto &c : cases) {
        Variant result;
        EXPECT_EQ(call(c.memid, c.flags, c.args, &result, c.named), c.expected) << c.memid << " " << c.flags;
        EXPECT_EQ(result.vt, VT_EMPTY);
    }
    DISPPARAMS none{nullptr, nullptr, 0, 0}, missing{nullptr, nullptr, 1, 0};
    DISPPARAMS too_many_named{const_cast<VARIANT *>(&one), nullptr, 1, 2};
    auto *self = static_cast<IMorvane *>(&tracker_);
    for (auto [object, params] : {std::pair<IMorvane *, DISPPARAMS *>{nullptr, &none}, {self, nullptr},
                                  {self, &missing}, {self, &too_many_named}})
        EXPECT_EQ(info_->Invoke(object, 5, DISPATCH_METHOD, params, nullptr, nullptr, nullptr), E_INVALIDARG);
    ITypeInfo *raw = nullptr; // the raw interface is not for late-bound callers
    ASSERT_EQ(library_->GetTypeInfoOfGuid(IID__IMorvane, &raw), S_OK);
    EXPECT_EQ(raw->Invoke(self, 0x60010000, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    raw->Release();
    EXPECT_TRUE(tracker_.calls.empty());
}

TEST_F(TypeInfoInvoke, FailingMembersReportTheirCodeAndRecord)
{
    EXCEPINFO exception{};
    EXPECT_EQ(put(1, of(VT_I4, 0), nullptr, &exception), E_INVALIDARG);
    EXPECT_EQ(exception.scode, E_INVALIDARG);
    EXPECT_EQ(narrow(exception.bstrSource), "Morvane.CoMorvane.1");
    EXPECT_EQ(narrow(exception.bstrDescription), "Number of lines must be a positive integer");
    EXPECT_EQ(narrow(exception.bstrHelpFile), "morvane.hlp");
    EXPECT_EQ(exception.dwHelpContext, 42u);
    for (BSTR text : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
        SysFreeString(text);
    // Without exception information the result and the record are the same.
    EXPECT_EQ(put(1, of(VT_I4, -5)), E_INVALIDARG);
    IErrorInfo *record = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &record), S_OK);
    BSTR description = nullptr;
    EXPECT_EQ(record->GetDescription(&description), S_OK);
    EXPECT_EQ(narrow(description), "Number of lines must be a positive integer");
    SysFreeString(description);
    record->Release();
    EXPECT_EQ(tracker_.lines, 0);

    exception = EXCEPINFO{}; // a failure without a record gives the code only
    Variant result;
    EXPECT_EQ(call(6, DISPATCH_METHOD, {}, &result, {}, nullptr, &exception), E_FAIL);
    EXPECT_EQ(exception.scode, E_FAIL);
    EXPECT_EQ(exception.bstrSource, nullptr);
    EXPECT_EQ(exception.bstrDescription, nullptr);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(GetErrorInfo(0, &record), S_FALSE);
}

} // namespace
