// Invoke against the table: seeded random calls of a small interface's members,
// with arguments of random types given by position and by name in random orders,
// end as the same member called through its table with each argument converted
// by VariantChangeType does: the same result code, result and blamed argument.
#include "counting_objects.h"
#include "typelib_files.h"

#include "compiler.h"
#include "typelib_writer.h"

#include <variant_type_table.h>

#include <algorithm>
#include <functional>
#include <iomanip>
#include <random>
#include <sstream>

using namespace typelib_test;

namespace {

constexpr char kMixerIdl[] = R"(
[object, uuid(6B1C0D1E-0000-4000-8000-000000000021), dual]
interface IMixer : IDispatch
{
    [id(1)] HRESULT blend([in] long whole, [in] double real, [in] short small, [in] BSTR text,
        [in] VARIANT_BOOL flag, [in] float single, [in] unsigned char octet, [out, retval] double *sum);
    [id(2)] HRESULT echo([in] VARIANT any, [in] long times, [out, retval] VARIANT *copy);
    [id(3)] HRESULT label([in] BSTR text, [in] short times, [out, retval] BSTR *joined);
    [propget, id(4)] HRESULT level([out, retval] long *value);
    [propput, id(4)] HRESULT level([in] long value);
};
[uuid(6B1C0D1E-0000-4000-8000-000000000020), version(1.0)]
library MixerLib { importlib("stdole2.tlb"); interface IMixer; };
)";

// IMixer in its table layout; every member refuses some of its inputs with its own code.
struct Mixer : Counting<IDispatch, IID_IDispatch> {
    LONG level = 0;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }
    // Weights that differ for each parameter, so that a value given to another parameter shows.
    virtual HRESULT STDMETHODCALLTYPE blend(LONG whole, double real, SHORT small, BSTR text, VARIANT_BOOL flag,
                                            float single, BYTE octet, double *sum)
    {
        if (whole < 0)
            return E_INVALIDARG;
        *sum = whole + 2 * real + 3.0 * small + 5.0 * SysStringLen(text) + (flag ? 7 : 0) + 11.0 * single + 13.0 * octet;
        return S_OK;
    }
    virtual HRESULT STDMETHODCALLTYPE echo(VARIANT any, LONG times, VARIANT *copy)
    {
        if (times % 2 == 0)
            return VariantCopy(copy, &any);
        copy->vt = VT_I4, copy->lVal = times;
        return S_OK;
    }
    virtual HRESULT STDMETHODCALLTYPE label(BSTR text, SHORT times, BSTR *joined)
    {
        if (times < 0 || times > 3)
            return DISP_E_OVERFLOW;
        std::u16string repeated;
        for (SHORT i = 0; i < times; ++i)
            repeated += text ? text : u"";
        *joined = SysAllocString(repeated.c_str());
        return S_OK;
    }
    virtual HRESULT STDMETHODCALLTYPE get_level(LONG *value) { return *value = level, S_OK; }
    virtual HRESULT STDMETHODCALLTYPE put_level(LONG value) { return value < 0 ? E_INVALIDARG : (level = value, S_OK); }
};

// A member, its parameters' names and declared types, and its call through the table
// with converted arguments in declaration order (the result variant receives the value).
struct Member {
    const char16_t *name;
    WORD flags;
    std::vector<const char16_t *> params;
    std::vector<VARTYPE> declared;
    VARTYPE result;
    std::function<HRESULT(Mixer &, const VARIANT *, VARIANT &)> call;
};

const Member kMembers[] = {
    {u"blend", DISPATCH_METHOD, {u"whole", u"real", u"small", u"text", u"flag", u"single", u"octet"},
     {VT_I4, VT_R8, VT_I2, VT_BSTR, VT_BOOL, VT_R4, VT_UI1}, VT_R8,
     [](Mixer &m, const VARIANT *a, VARIANT &r) {
         return m.blend(a[0].lVal, a[1].dblVal, a[2].iVal, a[3].bstrVal, a[4].boolVal, a[5].fltVal, a[6].bVal,
                        &r.dblVal);
     }},
    {u"echo", DISPATCH_METHOD, {u"any", u"times"}, {VT_VARIANT, VT_I4}, VT_VARIANT,
     [](Mixer &m, const VARIANT *a, VARIANT &r) { return m.echo(a[0], a[1].lVal, &r); }},
    {u"label", DISPATCH_METHOD, {u"text", u"times"}, {VT_BSTR, VT_I2}, VT_BSTR,
     [](Mixer &m, const VARIANT *a, VARIANT &r) { return m.label(a[0].bstrVal, a[1].iVal, &r.bstrVal); }},
    {u"level", DISPATCH_PROPERTYGET, {}, {}, VT_I4,
     [](Mixer &m, const VARIANT *, VARIANT &r) { return m.get_level(&r.lVal); }},
    {u"level", DISPATCH_PROPERTYPUT, {u""}, {VT_I4}, VT_EMPTY,
     [](Mixer &m, const VARIANT *a, VARIANT &) { return m.put_level(a[0].lVal); }},
};

// A value of a random type near number: half the time the declared type itself (passed
// as it is), else one that must be converted, may overflow or is no number at all.
VARIANT random_argument(std::mt19937 &random, VARTYPE declared)
{
    static const VARTYPE kTypes[] = {VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_BOOL, VT_UI1, VT_I1, VT_UI4, VT_I8};
    const int number = std::uniform_int_distribution<int>(-300, 300)(random);
    VARIANT v{};
    v.vt = declared != VT_VARIANT && random() % 2 ? declared : kTypes[random() % std::size(kTypes)];
    switch (v.vt) {
    case VT_I2: v.iVal = static_cast<SHORT>(number); break;
    case VT_I4: v.lVal = number * (random() % 2 ? 1 : 1000); break;
    case VT_R4: v.fltVal = static_cast<float>(number) / 4; break;
    case VT_R8: v.dblVal = number / 4.0; break;
    case VT_BSTR: {
        const std::string digits = random() % 4 ? std::to_string(number) : "many";
        v.bstrVal = SysAllocString(std::u16string(digits.begin(), digits.end()).c_str());
        break;
    }
    case VT_BOOL: v.boolVal = number % 2 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_UI1: v.bVal = static_cast<BYTE>(number); break;
    case VT_I1: v.cVal = static_cast<CHAR>(number); break;
    case VT_UI4: v.ulVal = static_cast<ULONG>(number); break;
    default: v.llVal = number * 100000000LL; break;
    }
    return v;
}

std::string describe(const VARIANT &v)
{
    std::ostringstream out;
    out << std::setprecision(17) << morvane::vartype::find(v.vt)->name << ':';
    switch (v.vt) {
    case VT_I2: out << v.iVal; break;
    case VT_I4: out << v.lVal; break;
    case VT_R4: out << v.fltVal; break;
    case VT_R8: out << v.dblVal; break;
    case VT_BSTR: out << '"' << narrow(v.bstrVal) << '"'; break;
    case VT_BOOL: out << v.boolVal; break;
    case VT_UI1: out << int{v.bVal}; break;
    case VT_I1: out << int{v.cVal}; break;
    case VT_UI4: out << v.ulVal; break;
    case VT_I8: out << v.llVal; break;
    default: break;
    }
    return out.str();
}

std::string outcome(HRESULT hr, UINT blamed, const VARIANT &result)
{
    std::ostringstream out;
    out << std::hex << "0x" << static_cast<ULONG>(hr) << std::dec << " blamed " << blamed << " result "
        << describe(result);
    return out.str();
}

class InvokeDifferential : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string bytes = idl::write_typelib(idl::compile(kMixerIdl));
        ASSERT_EQ(load_memory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), &library_), S_OK);
        ASSERT_EQ(library_->GetTypeInfoOfGuid({0x6B1C0D1E, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x21}}, &info_), S_OK);
    }
    void TearDown() override
    {
        info_->Release();
        library_->Release();
    }

    // The dispatch ID of the member and of each named parameter, by name.
    std::vector<DISPID> ids_of(const Member &member)
    {
        std::vector<LPOLESTR> names{const_cast<LPOLESTR>(member.name)};
        for (const char16_t *param : member.params)
            names.push_back(const_cast<LPOLESTR>(param));
        std::vector<DISPID> ids(names.size());
        const UINT count = member.flags == DISPATCH_PROPERTYPUT ? 1 : static_cast<UINT>(names.size());
        EXPECT_EQ(info_->GetIDsOfNames(names.data(), count, ids.data()), S_OK) << narrow(member.name);
        return ids;
    }

    ITypeLib *library_ = nullptr;
    ITypeInfo *info_ = nullptr;
};

TEST_F(InvokeDifferential, RandomCallsEndAsTheSameCallThroughTheTable)
{
    Mixer invoked, called;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 random(seed);
        for (int round = 0; round < 400; ++round) {
            const Member &member = kMembers[random() % std::size(kMembers)];
            const std::vector<DISPID> ids = ids_of(member);
            const std::size_t n = member.declared.size();
            // The first `positional` parameters by position (the first of them last in
            // rgvarg), the others by name in a random order ahead of them.
            std::size_t positional = member.flags == DISPATCH_PROPERTYPUT ? 0 : random() % (n + 1);
            std::vector<std::size_t> named_order(n - positional);
            for (std::size_t i = 0; i < named_order.size(); ++i)
                named_order[i] = positional + i;
            std::shuffle(named_order.begin(), named_order.end(), random);
            std::vector<VARIANT> rgvarg(n);
            std::vector<DISPID> names;
            std::vector<UINT> where(n); // each parameter's index in rgvarg
            for (std::size_t i = 0; i < named_order.size(); ++i) {
                where[named_order[i]] = static_cast<UINT>(i);
                names.push_back(member.flags == DISPATCH_PROPERTYPUT ? DISPID_PROPERTYPUT : ids[1 + named_order[i]]);
            }
            for (std::size_t p = 0; p < positional; ++p)
                where[p] = static_cast<UINT>(n - 1 - p);
            std::ostringstream call;
            call << "seed " << seed << " round " << round << ": " << narrow(member.name) << '(';
            for (std::size_t p = 0; p < n; ++p) {
                rgvarg[where[p]] = random_argument(random, member.declared[p]);
                call << (p ? ", " : "") << narrow(member.params[p]) << '=' << describe(rgvarg[where[p]])
                     << (p < positional ? " by position" : " by name");
            }
            call << ')';

            // The table call, after converting in declaration order up to the first refusal.
            std::vector<VARIANT> converted(n);
            UINT expected_blame = 99;
            HRESULT expected = S_OK;
            for (std::size_t p = 0; p < n && expected == S_OK; ++p) {
                if (member.declared[p] == VT_VARIANT)
                    VariantCopy(&converted[p], &rgvarg[where[p]]);
                else if (FAILED(expected = VariantChangeType(&converted[p], &rgvarg[where[p]], 0, member.declared[p])))
                    expected_blame = where[p];
            }
            VARIANT table_result{};
            if (expected == S_OK && (expected = member.call(called, converted.data(), table_result)) == S_OK &&
                member.result != VT_VARIANT)
                table_result.vt = member.result;

            DISPPARAMS params{rgvarg.data(), names.data(), static_cast<UINT>(n), static_cast<UINT>(names.size())};
            VARIANT result{};
            UINT blamed = 99;
            const HRESULT hr = info_->Invoke(&invoked, ids[0], member.flags, &params, &result, nullptr, &blamed);
            EXPECT_EQ(outcome(hr, blamed, result), outcome(expected, expected_blame, table_result)) << call.str();
            for (VARIANT *v : {&result, &table_result})
                VariantClear(v);
            for (std::size_t p = 0; p < n; ++p)
                VariantClear(&rgvarg[p]), VariantClear(&converted[p]);
        }
    }
}

} // namespace
