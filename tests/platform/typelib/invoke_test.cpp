// ITypeInfo::Invoke on the component's type information: members chosen by
// identifier and kind, arguments converted to the declared types, results handed
// back in variants, and failing members reported with their own result code and
// the thread's error record.
#include "typelib_files.h"

#include <morvane.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace typelib_test;

namespace {

struct Releaser {
    void operator()(IUnknown *unknown) const { unknown->Release(); }
};
template <typename T> using Ref = std::unique_ptr<T, Releaser>;

// An IMorvane that keeps its properties, records which members ran and with what,
// and fails put_lines for values below 1 the way the tracker does: with
// E_INVALIDARG and an error record.
#define RECORDED_PROPERTY(name)                                                                      \
    HRESULT STDMETHODCALLTYPE get_##name(LONG *) override { return record("get_" #name); }            \
    HRESULT STDMETHODCALLTYPE put_##name(LONG) override { return record("put_" #name); }

class RecordingTracker final : public IMorvane {
public:
    std::vector<std::string> calls;
    LONG lines = 0;
    FLOAT epsilon = 0.0f;
    bool refuse_destroy = false; // destroy_morvane fails without an error record
    VARIANT seen[3]{}; // track_corners' arguments as they arrived (shallow copies)

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

    HRESULT STDMETHODCALLTYPE get_lines(LONG *value) override { return *value = lines, record("get_lines"); }
    HRESULT STDMETHODCALLTYPE put_lines(LONG value) override
    {
        calls.push_back("put_lines");
        if (value < 1)
            return fail(u"Number of lines must be a positive integer");
        lines = value;
        return S_OK;
    }
    RECORDED_PROPERTY(columns)
    RECORDED_PROPERTY(max_features)
    HRESULT STDMETHODCALLTYPE track_corners(VARIANT a, VARIANT b, VARIANT features, VARIANT *matches) override
    {
        calls.push_back("track_corners");
        seen[0] = a;
        seen[1] = b;
        seen[2] = features;
        // A new 2 x 1 matrix of doubles that the caller owns.
        SAFEARRAYBOUND bounds[2] = {{2, 0}, {1, 0}};
        VariantInit(matches);
        matches->vt = VT_ARRAY | VT_R8;
        matches->parray = SafeArrayCreate(VT_R8, 2, bounds);
        return matches->parray ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE create_morvane() override { return record("create_morvane"); }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override
    {
        return record("destroy_morvane"), refuse_destroy ? E_FAIL : S_OK;
    }
    RECORDED_PROPERTY(stop_iterations)
    HRESULT STDMETHODCALLTYPE get_stop_epsilon(FLOAT *value) override { return *value = epsilon, S_OK; }
    HRESULT STDMETHODCALLTYPE put_stop_epsilon(FLOAT value) override { return epsilon = value, S_OK; }
    RECORDED_PROPERTY(feature_width)
    RECORDED_PROPERTY(feature_height)
    RECORDED_PROPERTY(pyramid_levels)
    RECORDED_PROPERTY(calc_match_residue)
    HRESULT STDMETHODCALLTYPE get_match_residue(VARIANT *value) override
    {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(u"residue");
        return record("get_match_residue");
    }

private:
    HRESULT record(const char *name)
    {
        calls.push_back(name);
        return S_OK;
    }

    static HRESULT fail(const char16_t *message)
    {
        ICreateErrorInfo *create = nullptr;
        if (CreateErrorInfo(&create) == S_OK) {
            create->SetSource(const_cast<LPOLESTR>(u"Morvane.CoMorvane.1"));
            create->SetDescription(const_cast<LPOLESTR>(message));
            create->SetHelpFile(const_cast<LPOLESTR>(u"morvane.hlp"));
            create->SetHelpContext(42);
            IErrorInfo *record = nullptr;
            if (create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&record)) == S_OK) {
                SetErrorInfo(0, record);
                record->Release();
            }
            create->Release();
        }
        return E_INVALIDARG;
    }
};

// A variant that is cleared when it leaves scope.
struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant &) = delete;
    Variant &operator=(const Variant &) = delete;
};

VARIANT long_value(LONG value)
{
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT double_value(double value)
{
    VARIANT v{};
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

SAFEARRAY *matrix(VARTYPE vt, ULONG rows, ULONG columns)
{
    SAFEARRAYBOUND bounds[2] = {{rows, 0}, {columns, 0}};
    return SafeArrayCreate(vt, 2, bounds);
}

class TypeInfoInvoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        ITypeLib *raw = nullptr;
        ASSERT_EQ(load(folder_.write("morvane.tlb", component_typelib()), &raw), S_OK);
        library_.reset(raw);
        ITypeInfo *info = nullptr;
        ASSERT_EQ(library_->GetTypeInfoOfGuid(IID_IMorvane, &info), S_OK);
        info_.reset(info);
        SetErrorInfo(0, nullptr);
    }
    void TearDown() override { SetErrorInfo(0, nullptr); }

    // A property write: the value is the argument named DISPID_PROPERTYPUT.
    HRESULT put(MEMBERID memid, VARIANT value, UINT *arg_error = nullptr, EXCEPINFO *exception = nullptr,
                ITypeInfo *info = nullptr)
    {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        return (info ? info : info_.get())
            ->Invoke(static_cast<IMorvane *>(&tracker_), memid, DISPATCH_PROPERTYPUT, &params, nullptr, exception,
                     arg_error);
    }

    HRESULT call(MEMBERID memid, WORD flags, std::vector<VARIANT> args, VARIANT *result,
                 std::vector<DISPID> named = {}, UINT *arg_error = nullptr, EXCEPINFO *exception = nullptr,
                 ITypeInfo *info = nullptr)
    {
        DISPPARAMS params{args.empty() ? nullptr : args.data(), named.empty() ? nullptr : named.data(),
                          static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
        return (info ? info : info_.get())
            ->Invoke(static_cast<IMorvane *>(&tracker_), memid, flags, &params, result, exception, arg_error);
    }

    ScratchFolder folder_;
    Ref<ITypeLib> library_;
    Ref<ITypeInfo> info_;
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
    EXPECT_EQ(call(1, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 322);
    // A call that may also read a property reaches the read member; an unwanted result still runs it.
    EXPECT_EQ(call(1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.lVal, 322);
    EXPECT_EQ(call(1, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);
    EXPECT_EQ(tracker_.calls,
              (std::vector<std::string>{"put_lines", "put_lines", "get_lines", "get_lines", "get_lines"}));
    // Double to float, passed as a float and read back as VT_R4.
    EXPECT_EQ(put(8, double_value(0.25)), S_OK);
    EXPECT_FLOAT_EQ(tracker_.epsilon, 0.25f);
    EXPECT_EQ(call(8, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_R4);
    EXPECT_FLOAT_EQ(result.fltVal, 0.25f);

    // The table view of the dual interface invokes too.
    HREFTYPE ref = 0;
    ASSERT_EQ(info_->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ITypeInfo *table = nullptr;
    ASSERT_EQ(info_->GetRefTypeInfo(ref, &table), S_OK);
    Ref<ITypeInfo> table_info(table);
    EXPECT_EQ(put(1, long_value(12), nullptr, nullptr, table), S_OK);
    EXPECT_EQ(call(1, DISPATCH_PROPERTYGET, {}, &result, {}, nullptr, nullptr, table), S_OK);
    EXPECT_EQ(result.lVal, 12);
}

TEST_F(TypeInfoInvoke, FailedConversionsNameTheArgument)
{
    Variant text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"many");
    UINT arg_error = 99;
    EXPECT_EQ(put(1, text, &arg_error), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(arg_error, 0u);
    arg_error = 99;
    EXPECT_EQ(put(1, double_value(1e12), &arg_error), DISP_E_OVERFLOW);
    EXPECT_EQ(arg_error, 0u);
    EXPECT_EQ(put(1, double_value(-1e12)), DISP_E_OVERFLOW) << "without a location for the index";
    // A named argument that is not the first in rgvarg is blamed by its own index.
    arg_error = 99;
    EXPECT_EQ(call(4, DISPATCH_METHOD, {double_value(1), double_value(2), double_value(3)}, nullptr, {0, 1, 7},
                   &arg_error),
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(arg_error, 2u);
    EXPECT_TRUE(tracker_.calls.empty());
}

TEST_F(TypeInfoInvoke, MethodsWithoutArgumentsAndWithMatrices)
{
    Variant nothing;
    EXPECT_EQ(call(5, DISPATCH_METHOD, {}, &nothing), S_OK);
    EXPECT_EQ(nothing.vt, VT_EMPTY);
    EXPECT_EQ(tracker_.calls, std::vector<std::string>{"create_morvane"});

    // track_corners(imgA, imgB, features): the last parameter comes first.
    SAFEARRAY *a = matrix(VT_UI1, 4, 6), *b = matrix(VT_UI1, 4, 6), *features = matrix(VT_R8, 2, 3);
    ASSERT_TRUE(a && b && features);
    VARIANT args[3]{};
    args[0].vt = VT_ARRAY | VT_R8;
    args[0].parray = features;
    args[1].vt = VT_ARRAY | VT_UI1;
    args[1].parray = b;
    args[2].vt = VT_ARRAY | VT_UI1;
    args[2].parray = a;
    Variant matches;
    EXPECT_EQ(call(4, DISPATCH_METHOD, {args[0], args[1], args[2]}, &matches), S_OK);
    EXPECT_EQ(tracker_.seen[0].vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(tracker_.seen[0].parray, a);
    EXPECT_EQ(tracker_.seen[1].parray, b);
    EXPECT_EQ(tracker_.seen[2].vt, VT_ARRAY | VT_R8);
    EXPECT_EQ(tracker_.seen[2].parray, features);
    ASSERT_EQ(matches.vt, VT_ARRAY | VT_R8);
    EXPECT_EQ(SafeArrayGetDim(matches.parray), 2u);

    // The same by name, in another order; and with the result not wanted (it is freed).
    tracker_.seen[0] = tracker_.seen[1] = tracker_.seen[2] = VARIANT{};
    EXPECT_EQ(call(4, DISPATCH_METHOD, {args[2], args[0], args[1]}, nullptr, {0, 2, 1}), S_OK);
    EXPECT_EQ(tracker_.seen[0].parray, a);
    EXPECT_EQ(tracker_.seen[1].parray, b);
    EXPECT_EQ(tracker_.seen[2].parray, features);

    // A VARIANT result comes back as the member made it.
    Variant residue;
    EXPECT_EQ(call(13, DISPATCH_PROPERTYGET, {}, &residue), S_OK);
    ASSERT_EQ(residue.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(residue.bstrVal), u"residue");
    EXPECT_EQ(call(13, DISPATCH_PROPERTYGET, {}, nullptr), S_OK);

    SafeArrayDestroy(a);
    SafeArrayDestroy(b);
    SafeArrayDestroy(features);
}

// Refused before any member runs: no such member of that kind, wrong argument
// counts, misnamed arguments.
TEST_F(TypeInfoInvoke, MembersAndArgumentsAreCheckedBeforeTheCall)
{
    const VARIANT one = long_value(1);
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
    EXPECT_EQ(info_->Invoke(nullptr, 5, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(info_->Invoke(self, 5, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(info_->Invoke(self, 5, DISPATCH_METHOD, &missing, nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(info_->Invoke(self, 5, DISPATCH_METHOD, &too_many_named, nullptr, nullptr, nullptr), E_INVALIDARG);
    // The raw interface is not for late-bound callers.
    ITypeInfo *raw = nullptr;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(IID__IMorvane, &raw), S_OK);
    Ref<ITypeInfo> raw_info(raw);
    EXPECT_EQ(raw_info->Invoke(self, 0x60010000, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_TRUE(tracker_.calls.empty());
}

TEST_F(TypeInfoInvoke, FailingMembersReportTheirCodeAndRecord)
{
    EXCEPINFO exception{};
    EXPECT_EQ(put(1, long_value(0), nullptr, &exception), E_INVALIDARG);
    EXPECT_EQ(exception.scode, E_INVALIDARG);
    EXPECT_EQ(narrow(exception.bstrSource), "Morvane.CoMorvane.1");
    EXPECT_EQ(narrow(exception.bstrDescription), "Number of lines must be a positive integer");
    EXPECT_EQ(narrow(exception.bstrHelpFile), "morvane.hlp");
    EXPECT_EQ(exception.dwHelpContext, 42u);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    // Without exception information the result and the record are the same.
    EXPECT_EQ(put(1, long_value(-5)), E_INVALIDARG);
    IErrorInfo *record = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &record), S_OK);
    BSTR description = nullptr;
    EXPECT_EQ(record->GetDescription(&description), S_OK);
    EXPECT_EQ(narrow(description), "Number of lines must be a positive integer");
    SysFreeString(description);
    record->Release();
    EXPECT_EQ(tracker_.lines, 0);

    tracker_.refuse_destroy = true; // fails without a record: the code only
    exception = EXCEPINFO{};
    Variant result;
    EXPECT_EQ(call(6, DISPATCH_METHOD, {}, &result, {}, nullptr, &exception), E_FAIL);
    EXPECT_EQ(exception.scode, E_FAIL);
    EXPECT_EQ(exception.bstrSource, nullptr);
    EXPECT_EQ(exception.bstrDescription, nullptr);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(GetErrorInfo(0, &record), S_FALSE);
}

} // namespace
