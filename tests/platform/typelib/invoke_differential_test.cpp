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
#include <random>

using namespace typelib_test;

namespace {

constexpr char kMixerIdl[] = R"(
[object, uuid(6B1C0D1E-0000-4000-8000-000000000021), dual]
interface IMixer : IDispatch
{
    [id(1)] HRESULT blend([in] long whole, [in] double real, [in] short small, [in] BSTR text,
        [in] VARIANT_BOOL flag, [in] float single, [in] unsigned char octet, [in] int tally,
        [out, retval] double *sum);
    [id(2)] HRESULT echo([in] VARIANT any, [in] long times, [out, retval] VARIANT *copy);
    [id(3)] HRESULT label([in] BSTR text, [in] short times, [out, retval] BSTR *joined);
    [propget, id(4)] HRESULT level([out, retval] long *value);
    [propput, id(4)] HRESULT level([in] long value);
};
[uuid(6B1C0D1E-0000-4000-8000-000000000020), version(1.0)]
library MixerLib { importlib("stdole2.tlb"); interface IMixer; };
)";

// IMixer in its table layout; each member refuses some inputs with a code of its own.
struct Mixer : CountingDispatch {
    LONG level = 0;

    // A weight per parameter, so that a value given to another parameter shows. Its nine
    // parameters are more than a call keeps on the stack.
    virtual HRESULT STDMETHODCALLTYPE blend(LONG whole, double real, SHORT small, BSTR text, VARIANT_BOOL flag,
                                            float single, BYTE octet, INT tally, double *sum)
    {
        *sum = whole + 2 * real + 3.0 * small + 5.0 * SysStringLen(text) + (flag ? 7 : 0) + 11.0 * single +
               13.0 * octet + 17.0 * tally;
        return whole < 0 ? E_INVALIDARG : S_OK;
    }
    virtual HRESULT STDMETHODCALLTYPE echo(VARIANT any, LONG times, VARIANT *copy)
    {
        if (times % 2 == 0)
            return VariantCopy(copy, &any);
        return copy->vt = VT_I4, copy->lVal = times, S_OK;
    }
    virtual HRESULT STDMETHODCALLTYPE label(BSTR text, SHORT times, BSTR *joined)
    {
        if (times < 0 || times > 3)
            return DISP_E_OVERFLOW;
        std::u16string repeated;
        for (SHORT i = 0; i < times; ++i)
            repeated += text ? text : u"";
        return *joined = SysAllocString(repeated.c_str()), S_OK;
    }
    virtual HRESULT STDMETHODCALLTYPE get_level(LONG *value) { return *value = level, S_OK; }
    virtual HRESULT STDMETHODCALLTYPE put_level(LONG value) { return value < 0 ? E_INVALIDARG : (level = value, S_OK); }
};

// A member: its kind, parameters and their declared types, the declared type of its
// result, and its call through the table with converted arguments in declaration order.
struct Member {
    const char16_t *name;
    WORD flags;
    std::vector<const char16_t *> params;
    std::vector<VARTYPE> declared;
    VARTYPE result;
    std::function<HRESULT(Mixer &, const VARIANT *, VARIANT &)> call;
};

const Member kMembers[] = {
    {u"blend", DISPATCH_METHOD, {u"whole", u"real", u"small", u"text", u"flag", u"single", u"octet", u"tally"},
     {VT_I4, VT_R8, VT_I2, VT_BSTR, VT_BOOL, VT_R4, VT_UI1, VT_INT}, VT_R8,
     [](Mixer &m, const VARIANT *a, VARIANT &r) {
         return m.blend(a[0].lVal, a[1].dblVal, a[2].iVal, a[3].bstrVal, a[4].boolVal, a[5].fltVal, a[6].bVal,
                        a[7].intVal, &r.dblVal);
     }},
    {u"echo", DISPATCH_METHOD, {u"any", u"times"}, {VT_VARIANT, VT_I4}, VT_VARIANT,
     [](Mixer &m, const VARIANT *a, VARIANT &r) { return m.echo(a[0], a[1].lVal, &r); }},
    {u"label", DISPATCH_METHOD, {u"text", u"times"}, {VT_BSTR, VT_I2}, VT_BSTR,
     [](Mixer &m, const VARIANT *a, VARIANT &r) { return m.label(a[0].bstrVal, a[1].iVal, &r.bstrVal); }},
    {u"level", DISPATCH_PROPERTYGET, {}, {}, VT_I4,
     [](Mixer &m, const VARIANT *, VARIANT &r) { return m.get_level(&r.lVal); }},
    {u"level", DISPATCH_PROPERTYPUT, {u"value"}, {VT_I4}, VT_EMPTY,
     [](Mixer &m, const VARIANT *a, VARIANT &) { return m.put_level(a[0].lVal); }},
};

// A value near a random number: half the time of the declared type itself (passed as it
// is), else of a type to convert from, which may overflow or hold no number at all.
VARIANT random_argument(std::mt19937 &random, VARTYPE declared)
{
    static const VARTYPE kTypes[] = {VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_BOOL, VT_UI1, VT_I1, VT_UI4, VT_I8};
    const int number = std::uniform_int_distribution<int>(-300, 300)(random);
    const std::string digits = random() % 4 ? std::to_string(number) : "many";
    VARIANT v{};
    v.vt = declared != VT_VARIANT && random() % 2 ? declared : kTypes[random() % std::size(kTypes)];
    switch (v.vt) {
    case VT_I2: return v.iVal = static_cast<SHORT>(number), v;
    case VT_I4: return v.lVal = number * (random() % 2 ? 1 : 1000), v;
    case VT_R4: return v.fltVal = static_cast<float>(number) / 4, v;
    case VT_R8: return v.dblVal = number / 4.0, v;
    case VT_BSTR: return v.bstrVal = SysAllocString(std::u16string(digits.begin(), digits.end()).c_str()), v;
    case VT_BOOL: return v.boolVal = number % 2 ? VARIANT_TRUE : VARIANT_FALSE, v;
    case VT_UI1: return v.bVal = static_cast<BYTE>(number), v;
    case VT_I1: return v.cVal = static_cast<CHAR>(number), v;
    case VT_UI4: return v.ulVal = static_cast<ULONG>(number), v;
    default: return v.llVal = number * 100000000LL, v;
    }
}

// "TYPE:text", and the value's bytes unless it is a string.
std::string describe(const VARIANT &v)
{
    VARIANT text{};
    const bool shown = VariantChangeType(&text, &v, 0, VT_BSTR) == S_OK;
    std::string out = std::string(morvane::vartype::find(v.vt)->name) + ":" + (shown ? narrow(text.bstrVal) : "?");
    VariantClear(&text);
    return v.vt == VT_BSTR ? out : out + "/" + std::to_string(v.llVal);
}

TEST(InvokeDifferential, RandomCallsEndAsTheSameCallThroughTheTable)
{
    const std::string bytes = idl::write_typelib(idl::compile(kMixerIdl));
    ITypeLib *library = nullptr;
    ITypeInfo *info = nullptr;
    ASSERT_EQ(load_memory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), &library), S_OK);
    ASSERT_EQ(library->GetTypeInfoOfGuid({0x6B1C0D1E, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x21}}, &info), S_OK);
    Mixer invoked, called;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 random(seed);
        for (int round = 0; round < 400; ++round) {
            const Member &member = kMembers[random() % std::size(kMembers)];
            const bool put = member.flags == DISPATCH_PROPERTYPUT;
            // The member's ID and its parameters' (a property write's value has no name).
            std::vector<LPOLESTR> names{const_cast<LPOLESTR>(member.name)};
            for (const char16_t *param : member.params)
                names.push_back(const_cast<LPOLESTR>(param));
            std::vector<DISPID> ids(names.size());
            ASSERT_EQ(info->GetIDsOfNames(names.data(), put ? 1 : UINT(names.size()), ids.data()), S_OK);
            // The first `positional` parameters by position (the first of them last in
            // rgvarg), the others by name, in a random order, ahead of them.
            const std::size_t n = member.declared.size(), positional = put ? 0 : random() % (n + 1);
            std::vector<std::size_t> by_name(n - positional);
            for (std::size_t i = 0; i < by_name.size(); ++i)
                by_name[i] = positional + i;
            std::shuffle(by_name.begin(), by_name.end(), random);
            std::vector<UINT> where(n); // each parameter's index in rgvarg
            std::vector<DISPID> named;
            for (std::size_t i = 0; i < by_name.size(); ++i)
                where[by_name[i]] = UINT(i), named.push_back(put ? DISPID_PROPERTYPUT : ids[1 + by_name[i]]);
            for (std::size_t p = 0; p < positional; ++p)
                where[p] = UINT(n - 1 - p);
            std::vector<VARIANT> rgvarg(n), converted(n);
            std::string call = "seed " + std::to_string(seed) + " round " + std::to_string(round) + ": " +
                               narrow(member.name) + "(";
            for (std::size_t p = 0; p < n; ++p) {
                rgvarg[where[p]] = random_argument(random, member.declared[p]);
                call += (p ? ", " : "") + narrow(member.params[p]) + "=" + describe(rgvarg[where[p]]) +
                        (p < positional ? " by position" : " by name");
            }

            // Through the table, after converting in declaration order up to the first refusal.
            UINT blamed = 99, expected_blamed = 99;
            HRESULT expected = S_OK;
            for (std::size_t p = 0; p < n && expected == S_OK; ++p) {
                const VARTYPE vt = member.declared[p];
                VARIANT &arg = rgvarg[where[p]];
                if (FAILED(expected = vt == VT_VARIANT ? VariantCopy(&converted[p], &arg)
                                                       : VariantChangeType(&converted[p], &arg, 0, vt)))
                    expected_blamed = where[p];
            }
            VARIANT table_result{}, result{};
            if (expected == S_OK && (expected = member.call(called, converted.data(), table_result)) == S_OK &&
                member.result != VT_VARIANT)
                table_result.vt = member.result;
            else if (FAILED(expected))
                table_result = VARIANT{}; // a failing member's result is not handed back

            DISPPARAMS params{rgvarg.data(), named.data(), UINT(n), UINT(named.size())};
            const HRESULT hr = info->Invoke(&invoked, ids[0], member.flags, &params, &result, nullptr, &blamed);
            EXPECT_EQ(std::to_string(hr) + " blamed " + std::to_string(blamed) + " " + describe(result),
                      std::to_string(expected) + " blamed " + std::to_string(expected_blamed) + " " +
                          describe(table_result))
                << call << ")";
            for (VARIANT *v : {&result, &table_result})
                VariantClear(v);
            for (std::size_t p = 0; p < n; ++p)
                VariantClear(&rgvarg[p]), VariantClear(&converted[p]);
        }
    }
    info->Release();
    library->Release();
}

} // namespace
