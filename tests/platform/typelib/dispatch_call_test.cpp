// DispCallFunc: every argument arrives where the callee expects it; every result has its type.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <tuple>

namespace {

constexpr ULONG_PTR kSpread = 0, kTwice = sizeof(void *); // the two slots of Sample's table

OLECHAR name_text[] = u"sample";

// What arrived, in order: the scalars as one tuple, the two variants apart.
using Scalars = std::tuple<signed char, BYTE, SHORT, USHORT, INT, UINT, LONGLONG, ULONGLONG, VARIANT_BOOL, float,
                           double, LONG *, BSTR, IUnknown *, float, double, float, double, float, double, float,
                           double, HRESULT>;

struct Sample {
    Scalars got{};
    VARIANT passed_l{}, passed_x{};
    int calls = 0;

    virtual HRESULT STDMETHODCALLTYPE Spread(signed char a, BYTE b, SHORT c, USHORT d, INT e, UINT f, LONGLONG g,
                                             ULONGLONG h, VARIANT_BOOL i, float j, double k, VARIANT l, LONG *m,
                                             BSTR n, IUnknown *o, float p, double q, float r, double s, float t,
                                             double u, float v, double w, VARIANT x, HRESULT y)
    {
        ++calls;
        got = Scalars{a, b, c, d, e, f, g, h, i, j, k, m, n, o, p, q, r, s, t, u, v, w, y};
        passed_l = l;
        passed_x = x;
        *m = 99;
        return 0x00012345;
    }
    virtual float STDMETHODCALLTYPE Twice(float x) { return ++calls, x * 2.0f; }
};

template <typename Function>
ULONG_PTR address(Function function) { return reinterpret_cast<ULONG_PTR>(function); }

// Arguments as DispCallFunc takes them: a type array and an array of variant pointers.
struct Arguments {
    VARTYPE types[32];
    VARIANT values[32]{};
    VARIANTARG *pointers[32];
    UINT count = 0;

    VARIANT &add(VARTYPE vt)
    {
        types[count] = vt;
        values[count].vt = vt;
        pointers[count] = &values[count];
        return values[count++];
    }
};

TEST(DispCallFunc, PassesEveryKindOfArgumentInRegistersAndOnTheStack)
{
    Sample sample;
    IUnknown *unknown = reinterpret_cast<IUnknown *>(&sample);
    LONG written = 0;
    const Scalars sent(-100, 200, -30000, 60000, -123456789, 4000000000u, -1234567890123ll, 0xF00DFACECAFEBEEFull,
                       VARIANT_TRUE, 1.5f, -2.25, &written, name_text, unknown, 3.25f, 4.5, 5.75f, 6.125, 7.0f, 8.5,
                       -9.25f, 1e-300, DISP_E_PARAMNOTFOUND);
    const VARTYPE types[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_INT, VT_UINT, VT_I8, VT_UI8, VT_BOOL, VT_R4, VT_R8,
                             VT_BYREF | VT_I4, VT_BSTR, VT_UNKNOWN, VT_R4, VT_R8, VT_R4, VT_R8, VT_R4, VT_R8, VT_R4,
                             VT_R8, VT_ERROR};
    // Variants passed by value carry their own type and value, every byte of them.
    VARIANT l{}, x{};
    l.vt = VT_R8;
    l.dblVal = 6.02e23;
    x.vt = VT_BSTR;
    x.bstrVal = name_text;
    x.pRecInfo = reinterpret_cast<IRecordInfo *>(uintptr_t{0x1122334455667788});
    Arguments in;
    std::size_t n = 0; // scalars put so far
    const auto put = [&](auto value) {
        std::memcpy(&in.add(types[n]).llVal, &value, sizeof value);
        if (++n == 11 || n == 22) // l follows k, and x follows w
            in.add(VT_VARIANT) = n == 11 ? l : x;
    };
    std::apply([&](auto... value) { (put(value), ...); }, sent);

    VARIANT result{};
    ASSERT_EQ(DispCallFunc(&sample, kSpread, CC_STDCALL, VT_HRESULT, in.count, in.types, in.pointers, &result),
              S_OK);
    EXPECT_EQ(result.vt, VT_HRESULT);
    EXPECT_EQ(result.lVal, 0x00012345);
    EXPECT_EQ(sample.got, sent);
    EXPECT_EQ(written, 99);
    EXPECT_EQ(std::memcmp(&sample.passed_l, &l, sizeof l), 0);
    EXPECT_EQ(std::memcmp(&sample.passed_x, &x, sizeof x), 0);
}

// A void result empties the result variant, which may then be absent; a variant result comes back whole.
TEST(DispCallFunc, ReturnsEveryTypeWithNoStaleBits)
{
    const auto whole = +[] {
        VARIANT out{};
        out.vt = VT_VARIANT;
        out.ullVal = 0x0123456789ABCDEF;
        return out;
    };
    const struct {
        ULONG_PTR function;
        VARTYPE vt;
        ULONGLONG bits; // the whole data field: the result, zero above its width
    } cases[] = {
        {address(+[]() -> signed char { return -7; }), VT_I1, 0xF9},
        {address(+[]() -> BYTE { return 0xF0; }), VT_UI1, 0xF0},
        {address(+[]() -> SHORT { return -300; }), VT_I2, 0xFED4},
        {address(+[]() -> USHORT { return 0xFFFE; }), VT_UI2, 0xFFFE},
        {address(+[]() -> VARIANT_BOOL { return VARIANT_TRUE; }), VT_BOOL, 0xFFFF},
        {address(+[]() -> LONG { return -100000; }), VT_I4, 0xFFFE7960},
        {address(+[]() -> ULONG { return 0xFFFFFFF0u; }), VT_UI4, 0xFFFFFFF0},
        {address(+[]() -> LONGLONG { return -(LONGLONG{1} << 40); }), VT_I8, 0xFFFFFF0000000000},
        {address(+[]() -> ULONGLONG { return 0xFEDCBA9876543210ull; }), VT_UI8, 0xFEDCBA9876543210},
        {address(+[]() -> HRESULT { return E_FAIL; }), VT_HRESULT, 0x80004005},
        {address(+[]() -> HRESULT { return E_FAIL; }), VT_ERROR, 0x80004005},
        {address(+[]() -> BSTR { return name_text; }), VT_BSTR, reinterpret_cast<uintptr_t>(name_text)},
        {address(+[]() -> float { return 2.5f; }), VT_R4, 0x40200000},
        {address(+[]() -> double { return -2.5; }), VT_R8, 0xC004000000000000},
        {address(whole), VT_VARIANT, 0x0123456789ABCDEF},
        {address(+[] {}), VT_VOID, 0},
    };
    for (const auto &c : cases) {
        VARIANT result;
        result.vt = VT_ILLEGAL;
        result.ullVal = 0xAAAAAAAAAAAAAAAAull;
        ASSERT_EQ(DispCallFunc(nullptr, c.function, CC_CDECL, c.vt, 0, nullptr, nullptr, &result), S_OK);
        EXPECT_EQ(result.vt, c.vt == VT_VOID ? VARTYPE{VT_EMPTY} : c.vt);
        EXPECT_EQ(result.ullVal, c.bits) << c.vt;
    }
    EXPECT_EQ(DispCallFunc(nullptr, address(+[] {}), CC_STDCALL, VT_EMPTY, 0, nullptr, nullptr, nullptr), S_OK);
}

TEST(DispCallFunc, RejectsBadRequestsWithoutCalling)
{
    Sample sample;
    Arguments in;
    in.add(VT_R4).fltVal = 1.0f;
    VARIANT r{};
    VARIANTARG *missing[] = {nullptr};
    auto call = [&](void *instance, ULONG_PTR offset, CALLCONV cc, VARTYPE result, VARTYPE *types,
                    VARIANTARG **args, VARIANT *out) {
        return DispCallFunc(instance, offset, cc, result, 1, types, args, out);
    };
    for (CALLCONV cc : {CC_FASTCALL, CC_PASCAL, CC_MACPASCAL, CC_FPFASTCALL, CC_SYSCALL, CC_MAX})
        EXPECT_EQ(call(&sample, kTwice, cc, VT_R4, in.types, in.pointers, &r), E_INVALIDARG) << cc;
    EXPECT_EQ(call(&sample, kTwice, CC_STDCALL, VT_R4, nullptr, in.pointers, &r), E_INVALIDARG);
    EXPECT_EQ(call(&sample, kTwice, CC_STDCALL, VT_R4, in.types, nullptr, &r), E_INVALIDARG);
    EXPECT_EQ(call(&sample, kTwice, CC_STDCALL, VT_R4, in.types, missing, &r), E_INVALIDARG);
    EXPECT_EQ(call(&sample, kTwice, CC_STDCALL, VT_R4, in.types, in.pointers, nullptr), E_INVALIDARG);
    EXPECT_EQ(call(&sample, kTwice + 4, CC_STDCALL, VT_R4, in.types, in.pointers, &r), E_INVALIDARG);
    EXPECT_EQ(call(nullptr, 0, CC_STDCALL, VT_R4, in.types, in.pointers, &r), E_INVALIDARG);
    for (VARTYPE bad : {VARTYPE{VT_EMPTY}, VARTYPE{VT_NULL}, VARTYPE{VT_RECORD}, VARTYPE{VT_DECIMAL},
                        VARTYPE{VT_USERDEFINED}, VARTYPE{VT_VOID}, VARTYPE{0x0FFF}})
        EXPECT_EQ(call(&sample, kTwice, CC_STDCALL, VT_R4, &bad, in.pointers, &r), DISP_E_BADVARTYPE) << bad;
    for (VARTYPE bad : {VARTYPE{VT_RECORD}, VARTYPE{VT_DECIMAL}, VARTYPE{VT_NULL}})
        EXPECT_EQ(call(&sample, kTwice, CC_STDCALL, bad, in.types, in.pointers, &r), DISP_E_BADVARTYPE) << bad;
    EXPECT_EQ(sample.calls, 0);
    EXPECT_EQ(r.vt, VT_EMPTY);
    ASSERT_EQ(call(&sample, kTwice, CC_STDCALL, VT_R4, in.types, in.pointers, &r), S_OK);
    EXPECT_EQ(r.fltVal, 2.0f);
}

} // namespace
