// ITypeInfo::Invoke on the component's type information: binding, results, failures.
#include "typelib_files.h"
#include "counting_objects.h"
#include "tracker_stub.h"

#include <tuple>

using namespace typelib_test;

namespace {

// Records members run; put_lines refuses values below 1 with an error record, as the tracker does.
class RecordingTracker final : public Counting<morvane::test::TrackerStub, IID_IMorvane> {
public:
    std::vector<std::string> calls;
    LONG lines = 0;
    VARIANT seen[3]{}; // track_corners' arguments as they arrived (shallow copies)

    HRESULT STDMETHODCALLTYPE get_lines(LONG *value) override { return *value = lines, unexpected("get_lines"); }
    HRESULT STDMETHODCALLTYPE put_lines(LONG value) override
    {
        unexpected("put_lines");
        if (value >= 1)
            return lines = value, S_OK;
        ICreateErrorInfo *create = nullptr; // a record with the fields that only this test reads
        CreateErrorInfo(&create);
        create->SetHelpFile(const_cast<LPOLESTR>(u"morvane.hlp"));
        create->SetHelpContext(42);
        IErrorInfo *record = nullptr;
        create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&record));
        SetErrorInfo(0, record);
        record->Release();
        create->Release();
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE track_corners(VARIANT a, VARIANT b, VARIANT features, VARIANT *matches) override
    {
        seen[0] = a, seen[1] = b, seen[2] = features;
        SAFEARRAYBOUND bounds[2] = {{2, 0}, {1, 0}}; // a new matrix the caller owns
        matches->vt = VT_ARRAY | VT_R8;
        matches->parray = SafeArrayCreate(VT_R8, 2, bounds);
        return unexpected("track_corners");
    }
    HRESULT STDMETHODCALLTYPE destroy_morvane() override { return E_FAIL; } // fails without a record

protected:
    HRESULT unexpected(const char *name) override { return calls.push_back(name), S_OK; }
};

struct Variant : VARIANT {
    Variant() : VARIANT{} {}
    explicit Variant(const OLECHAR *text) : VARIANT{} { vt = VT_BSTR, bstrVal = SysAllocString(text); }
    ~Variant() { VariantClear(this); }
};

class TypeInfoInvoke : public ComponentLibrary {
protected:
    HRESULT call(MEMBERID memid, WORD flags, std::vector<VARIANT> args, VARIANT *result,
                 std::vector<DISPID> named = {}, UINT *arg_error = nullptr, EXCEPINFO *exception = nullptr,
                 ITypeInfo *info = nullptr)
    {
        DISPPARAMS params{args.empty() ? nullptr : args.data(), named.empty() ? nullptr : named.data(),
                          static_cast<UINT>(args.size()), static_cast<UINT>(named.size())};
        return (info ? info : info_)
            ->Invoke(static_cast<IMorvane *>(&tracker_), memid, flags, &params, result, exception, arg_error);
    }

    RecordingTracker tracker_;
};

// Arguments bound or refused with the argument blamed (conversions and their refusals are the
// differential test's).
TEST_F(TypeInfoInvoke, CallsBindTheirArgumentsOrAreRefusedBeforeTheMemberRuns)
{
    const Variant text(u"640");
    const VARIANT one = of(VT_I4, 1), r8 = of(VT_R8, 1);
    const WORD put = DISPATCH_PROPERTYPUT, get = DISPATCH_PROPERTYGET, method = DISPATCH_METHOD;
    const std::vector<DISPID> value{DISPID_PROPERTYPUT};
    constexpr UINT none = 99; // puArgErr left alone
    const struct {
        MEMBERID memid;
        WORD flags;
        std::vector<VARIANT> args;
        std::vector<DISPID> named;
        HRESULT expected;
        UINT blamed = none;
        std::string result = "0 "; // "vt value" ("0 " for VT_EMPTY)
    } cases[] = {
        // The second call may read, so it reaches the read member.
        {1, put, {text}, value, S_OK}, {1, method | get, {}, {}, S_OK, none, "3 640"},
        {5, method, {}, {}, S_OK},
        {4, method, {r8, r8, r8}, {0, 1, 7}, DISP_E_PARAMNOTFOUND, 2}, // blamed by its rgvarg index
        {4, method, {r8, r8, r8}, {0, 1, 3}, DISP_E_PARAMNOTFOUND, 2}, // one past the last parameter
        {99, method, {}, {}, DISP_E_MEMBERNOTFOUND}, {1, method, {}, {}, DISP_E_MEMBERNOTFOUND}, // a property only
        {5, get, {}, {}, DISP_E_MEMBERNOTFOUND}, {13, put, {one}, value, DISP_E_MEMBERNOTFOUND},
        {5, put, {one}, value, DISP_E_MEMBERNOTFOUND}, {5, 0, {}, {}, DISP_E_MEMBERNOTFOUND},
        {1, get, {one}, {}, DISP_E_BADPARAMCOUNT}, {4, method, {one, one}, {}, DISP_E_BADPARAMCOUNT},
        {4, method, {one, one, one, one}, {}, DISP_E_BADPARAMCOUNT},
        // A write's value must be named DISPID_PROPERTYPUT, and nothing else may be named.
        {1, put, {one}, {0}, DISP_E_PARAMNOTFOUND}, {1, put, {one, one}, {DISPID_PROPERTYPUT, 0}, DISP_E_NONAMEDARGS},
        {1, put, {one, one}, value, DISP_E_BADPARAMCOUNT},
        // DISPID_PROPERTYPUT names nothing in a method; a parameter is not given twice or left out.
        {5, method, {one}, value, DISP_E_PARAMNOTFOUND, 0},
        {4, method, {one, one, one}, {0, 1}, DISP_E_PARAMNOTFOUND, 0},
        {4, method, {one, one}, {0, 2}, DISP_E_PARAMNOTOPTIONAL},
    };
    for (const auto &c : cases) {
        Variant result;
        UINT blamed = none;
        EXPECT_EQ(call(c.memid, c.flags, c.args, &result, c.named, &blamed), c.expected) << c.memid << " " << c.flags;
        EXPECT_EQ(blamed, c.blamed) << c.memid << " " << c.flags;
        Variant shown;
        ASSERT_EQ(VariantChangeType(&shown, &result, 0, VT_BSTR), S_OK);
        EXPECT_EQ(std::to_string(result.vt) + " " + narrow(shown.bstrVal), c.result);
    }
    EXPECT_EQ(text.vt, VT_BSTR) << "the caller's argument is left as it was";
    EXPECT_EQ(call(1, get, {}, nullptr), S_OK) << "an unwanted result still runs the member";
    EXPECT_EQ(call(1, put, {of(VT_R8, -1e12)}, nullptr, value), DISP_E_OVERFLOW) << "without a location for the index";
    EXPECT_EQ(tracker_.calls, (std::vector<std::string>{"put_lines", "get_lines", "create_morvane", "get_lines"}));
    VARIANT *some = const_cast<VARIANT *>(&one);
    DISPID two_names[2] = {0, 1};
    // Arguments or names missing, or more names than arguments.
    DISPPARAMS empty{nullptr, nullptr, 0, 0}, missing{nullptr, nullptr, 1, 0};
    DISPPARAMS unnamed{some, nullptr, 1, 1}, too_many_named{some, two_names, 1, 2};
    auto *self = static_cast<IMorvane *>(&tracker_);
    for (auto [object, params] : {std::pair<IMorvane *, DISPPARAMS *>{nullptr, &empty}, {self, nullptr},
                                  {self, &missing}, {self, &unnamed}, {self, &too_many_named}})
        EXPECT_EQ(info_->Invoke(object, 5, method, params, nullptr, nullptr, nullptr), E_INVALIDARG);
    ITypeInfo *raw = nullptr; // the raw interface is not for late-bound callers
    ASSERT_EQ(library_->GetTypeInfoOfGuid(IID__IMorvane, &raw), S_OK);
    EXPECT_EQ(raw->Invoke(self, 0x60010000, method, &empty, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    raw->Release();
    EXPECT_EQ(tracker_.calls.size(), 4u);
}

TEST_F(TypeInfoInvoke, MatricesPassUntouchedByPositionOrNameAndTheTableViewInvokes)
{
    // track_corners(imgA, imgB, features): the last parameter comes first.
    VARIANT args[3]{};
    SAFEARRAYBOUND bounds[2] = {{4, 0}, {6, 0}};
    for (int i = 0; i < 3; ++i) {
        args[i].vt = VT_ARRAY | (i == 0 ? VT_R8 : VT_UI1);
        args[i].parray = SafeArrayCreate(i == 0 ? VT_R8 : VT_UI1, 2, bounds);
    }
    // By position, by name in another order, and partly by name; the unwanted result is freed.
    const std::pair<std::vector<VARIANT>, std::vector<DISPID>> calls[] = {
        {{args[0], args[1], args[2]}, {}}, {{args[2], args[0], args[1]}, {0, 2, 1}}, {{args[0], args[1], args[2]}, {2}}};
    for (const auto &[given, named] : calls) {
        tracker_.seen[0] = tracker_.seen[1] = tracker_.seen[2] = VARIANT{};
        EXPECT_EQ(call(4, DISPATCH_METHOD, given, nullptr, named), S_OK);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(tracker_.seen[i].parray == args[2 - i].parray && tracker_.seen[i].vt == args[2 - i].vt) << i;
    }
    for (VARIANT &arg : args)
        SafeArrayDestroy(arg.parray);

    HREFTYPE ref = 0;
    ITypeInfo *table = nullptr;
    ASSERT_EQ(info_->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(info_->GetRefTypeInfo(ref, &table), S_OK);
    EXPECT_EQ(call(1, DISPATCH_PROPERTYPUT, {of(VT_I4, 12)}, nullptr, {DISPID_PROPERTYPUT}, nullptr, nullptr, table),
              S_OK);
    Variant result;
    EXPECT_EQ(call(1, DISPATCH_PROPERTYGET, {}, &result, {}, nullptr, nullptr, table), S_OK);
    EXPECT_EQ(result.lVal, 12);
    table->Release();
}

TEST_F(TypeInfoInvoke, FailingMembersReportTheirCodeAndRecord)
{
    EXCEPINFO exception{};
    const auto put_lines = [&](LONG value, EXCEPINFO *info) {
        return call(1, DISPATCH_PROPERTYPUT, {of(VT_I4, value)}, nullptr, {DISPID_PROPERTYPUT}, nullptr, info);
    };
    EXPECT_EQ(put_lines(0, &exception), E_INVALIDARG);
    EXPECT_EQ(std::tuple(exception.scode, narrow(exception.bstrHelpFile), exception.dwHelpContext),
              std::tuple(E_INVALIDARG, "morvane.hlp", 42u));
    SysFreeString(exception.bstrHelpFile);
    // Without exception information the record stays for the caller.
    EXPECT_EQ(put_lines(-5, nullptr), E_INVALIDARG);
    IErrorInfo *record = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &record), S_OK);
    record->Release();

    exception = EXCEPINFO{}; // a failure without a record gives the code only
    Variant result;
    EXPECT_EQ(call(6, DISPATCH_METHOD, {}, &result, {}, nullptr, &exception), E_FAIL);
    EXPECT_EQ(std::tuple(exception.scode, exception.bstrHelpFile, result.vt), std::tuple(E_FAIL, nullptr, VT_EMPTY));
    EXPECT_EQ(GetErrorInfo(0, &record), S_FALSE);
}

} // namespace
