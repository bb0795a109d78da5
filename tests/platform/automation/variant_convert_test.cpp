// Variant conversions between numbers, truth values and text; in place, by reference, refused.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A source variant; text sources own their string.
struct Source {
    VARIANT v{};
    template <typename T>
    Source(VARTYPE vt, T value)
    {
        v.vt = vt;
        std::memcpy(&v.llVal, &value, sizeof value);
    }
    Source(const char16_t *text)
    {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
    }
    Source() = default;
    Source(const Source &other) { VariantCopy(&v, &other.v); }
    ~Source() { VariantClear(&v); }
};

Source i4(LONG v) { return {VT_I4, v}; }
Source ui4(ULONG v) { return {VT_UI4, v}; }
Source i8(LONGLONG v) { return {VT_I8, v}; }
Source ui8(ULONGLONG v) { return {VT_UI8, v}; }
Source r8(double v) { return {VT_R8, v}; }
Source r4(float v) { return {VT_R4, v}; }
Source truth(bool v) { return {VT_BOOL, VARIANT_BOOL(v ? VARIANT_TRUE : VARIANT_FALSE)}; }

// The converted value as text, read member by member from the variant.
std::string describe(const VARIANT &v)
{
    char text[64];
    switch (v.vt) {
    case VT_EMPTY: return "empty";
    case VT_I1: return std::to_string(static_cast<signed char>(v.cVal));
    case VT_UI1: return std::to_string(v.bVal);
    case VT_I2: return std::to_string(v.iVal);
    case VT_UI2: return std::to_string(v.uiVal);
    case VT_I4: return std::to_string(v.lVal);
    case VT_INT: return "int " + std::to_string(v.intVal);
    case VT_UI4: return std::to_string(v.ulVal);
    case VT_UINT: return "uint " + std::to_string(v.uintVal);
    case VT_I8: return std::to_string(v.llVal);
    case VT_UI8: return std::to_string(v.ullVal);
    case VT_R4: std::snprintf(text, sizeof text, "r4 %.9g", double(v.fltVal)); return text;
    case VT_R8: std::snprintf(text, sizeof text, "r8 %.17g", v.dblVal); return text;
    case VT_BOOL: return v.boolVal == VARIANT_TRUE ? "true" : v.boolVal == VARIANT_FALSE ? "false" : "bad bool";
    case VT_BSTR: return "'" + std::string(v.bstrVal, v.bstrVal + SysStringLen(v.bstrVal)) + "'";
    default: return "type " + std::to_string(v.vt);
    }
}

struct Case {
    Source source;
    VARTYPE to;
    std::string expected; // the described result, or the refusal's name
    USHORT flags = 0;
};

std::string refusal(HRESULT hr)
{
    return hr == DISP_E_OVERFLOW ? "overflow" : hr == DISP_E_TYPEMISMATCH ? "mismatch"
           : hr == DISP_E_BADVARTYPE ? "bad type" : "result " + std::to_string(hr);
}

TEST(VariantChangeType, ConvertsWithinRangeAndRefusesBeyondIt)
{
    const Case cases[] = {
        // Whole numbers: each type's range, both ends.
        {i4(255), VT_UI1, "255"}, {i4(256), VT_UI1, "overflow"}, {i4(-1), VT_UI1, "overflow"},
        {i4(-128), VT_I1, "-128"}, {i4(-129), VT_I1, "overflow"}, {i4(128), VT_I1, "overflow"},
        {i4(-32768), VT_I2, "-32768"}, {i4(32768), VT_I2, "overflow"}, {i4(65535), VT_UI2, "65535"},
        {i4(65536), VT_UI2, "overflow"}, {ui4(0xFFFFFFFFu), VT_I4, "overflow"},
        {ui4(0x7FFFFFFFu), VT_INT, "int 2147483647"}, {i4(-1), VT_UINT, "overflow"}, {i4(7), VT_UINT, "uint 7"},
        {ui4(0xFFFFFFFFu), VT_I8, "4294967295"}, {i8(INT64_MIN), VT_I4, "overflow"}, {i8(-1), VT_UI8, "overflow"},
        {ui8(UINT64_MAX), VT_I8, "overflow"}, {ui8(INT64_MAX), VT_I8, "9223372036854775807"},
        {i8(-2147483648LL), VT_I4, "-2147483648"},
        // Reals round half to even and must fit.
        {r8(2.5), VT_I4, "2"}, {r8(3.5), VT_I4, "4"}, {r8(-2.5), VT_I4, "-2"}, {r8(2.5001), VT_I4, "3"},
        {r4(254.5f), VT_UI1, "254"}, {r8(255.5), VT_UI1, "overflow"}, {r8(-0.5), VT_UI4, "0"},
        {r8(-0.6), VT_UI4, "overflow"}, {r8(1e10), VT_I4, "overflow"}, {r8(9.3e18), VT_I8, "overflow"},
        {r8(9.3e18), VT_UI8, "9300000000000000000"}, {r8(1.9e19), VT_UI8, "overflow"},
        {r8(std::nan("")), VT_I4, "overflow"},
        // Reals between themselves.
        {ui8(UINT64_MAX), VT_R8, "r8 1.8446744073709552e+19"}, {r8(0.1), VT_R4, "r4 0.100000001"},
        {r8(1e300), VT_R4, "overflow"}, {r8(-1e39), VT_R4, "overflow"}, {r8(std::nan("")), VT_R4, "r4 nan"},
        {r4(1.5f), VT_R8, "r8 1.5"},
        // Truth values: true is -1, all ones for unsigned types; nonzero is true.
        {i4(5), VT_BOOL, "true"}, {r8(0.0), VT_BOOL, "false"}, {r8(0.25), VT_BOOL, "true"}, {truth(true), VT_I4, "-1"},
        {truth(true), VT_R8, "r8 -1"}, {truth(true), VT_UI1, "255"}, {truth(true), VT_UI4, "4294967295"},
        {truth(false), VT_UI2, "0"},
        // Numbers and truth values to text.
        {i4(-123), VT_BSTR, "'-123'"}, {i8(INT64_MIN), VT_BSTR, "'-9223372036854775808'"},
        {ui8(UINT64_MAX), VT_BSTR, "'18446744073709551615'"}, {r8(0.1), VT_BSTR, "'0.1'"},
        {r8(1e20), VT_BSTR, "'1E+20'"}, {r8(1.0 / 3.0), VT_BSTR, "'0.333333333333333'"},
        {r4(1.0f / 3.0f), VT_BSTR, "'0.3333333'"}, {truth(true), VT_BSTR, "'-1'"}, {truth(false), VT_BSTR, "'0'"},
        {truth(true), VT_BSTR, "'True'", VARIANT_ALPHABOOL}, {truth(false), VT_BSTR, "'False'", VARIANT_ALPHABOOL},
        // Text to numbers.
        {u" 42 ", VT_I4, "42"}, {u"\t-7", VT_I2, "-7"}, {u"+9", VT_UI1, "9"}, {u"2.5", VT_I4, "2"},
        {u"1e3", VT_I4, "1000"}, {u"-0", VT_UI4, "0"}, {u".5e1", VT_INT, "int 5"},
        {u"-9223372036854775808", VT_I8, "-9223372036854775808"},
        {u"18446744073709551615", VT_UI8, "18446744073709551615"}, // exact, not through a double
        {u" 1.25e-2 ", VT_R8, "r8 0.012500000000000001"}, {u"1e-400", VT_R8, "r8 0"},
        {u"99999999999", VT_I4, "overflow"}, {u"123456789012345678901234567890", VT_UI8, "overflow"},
        {u"123456789012345678901234567890", VT_R8, "r8 1.2345678901234568e+29"}, {u"1e400", VT_R8, "overflow"},
        {u"1e39", VT_R4, "overflow"},
        // Text to truth values.
        {u" TRUE ", VT_BOOL, "true"}, {u"2", VT_BOOL, "true"}, {u"0.5", VT_BOOL, "true"}, {u"False", VT_BOOL, "false"},
        {u" 0.0", VT_BOOL, "false"}, {u"maybe", VT_BOOL, "mismatch"},
        // Text that is no number, and pairs no conversion exists for.
        {u"", VT_I4, "mismatch"}, {u"   ", VT_R8, "mismatch"}, {u"4 2", VT_I4, "mismatch"}, {u"12a", VT_R8, "mismatch"},
        {u"0x10", VT_I4, "mismatch"}, {u"1e", VT_R8, "mismatch"}, {u"--1", VT_I4, "mismatch"},
        {u".", VT_R8, "mismatch"}, {u"1,5", VT_I4, "mismatch"}, {u"+", VT_R8, "mismatch"},
        {{VT_BSTR, BSTR(nullptr)}, VT_I4, "mismatch"}, {{VT_UNKNOWN, nullptr}, VT_I4, "mismatch"},
        {{VT_NULL, 0}, VT_I4, "mismatch"}, {{VT_ARRAY | VT_I4, SafeArrayCreateVector(VT_I4, 0, 1)}, VT_I4, "mismatch"},
        {i4(1), VT_DISPATCH, "mismatch"}, {i4(1), VT_ARRAY | VT_I4, "mismatch"}, {i4(1), VT_BYREF | VT_I4, "mismatch"},
        {i4(1), VT_CY, "mismatch"}, {{0x7F, 0}, VT_I4, "bad type"}, {i4(1), 0x7F, "bad type"},
        {i4(1), VT_VARIANT, "bad type"},
        // Empty is zero, and anything becomes empty.
        {Source(), VT_I4, "0"}, {Source(), VT_R8, "r8 0"}, {Source(), VT_BOOL, "false"}, {Source(), VT_BSTR, "''"},
        {r8(3.0), VT_EMPTY, "empty"}, {u"x", VT_EMPTY, "empty"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(describe(c.source.v) + " to type " + std::to_string(c.to));
        VARIANT out{};
        const HRESULT hr = VariantChangeType(&out, &c.source.v, c.flags, c.to);
        // A refused conversion leaves the destination alone.
        EXPECT_EQ(hr == S_OK ? describe(out) : refusal(hr) + (out.vt == VT_EMPTY ? "" : " and a changed destination"),
                  c.expected);
        VariantClear(&out);
    }
}

TEST(VariantChangeType, InPlaceThroughReferencesAndNullArguments)
{
    Source v(u"12");
    // The string is released once converted (the sanitizer build reports a leak otherwise).
    ASSERT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_I4), S_OK);
    EXPECT_EQ(describe(v.v), "12");
    ASSERT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_BSTR), S_OK);
    Source bad(u"x1"); // the destination is replaced only on success
    EXPECT_EQ(VariantChangeType(&v.v, &bad.v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(describe(v.v), "'12'");
    Source copy = i4(1); // same type: a copy of its own
    ASSERT_EQ(VariantChangeType(&copy.v, &v.v, 0, VT_BSTR), S_OK);
    EXPECT_NE(copy.v.bstrVal, v.v.bstrVal);

    LONG number = 41;
    Source reference(VT_BYREF | VT_I4, &number), to_variant(VT_BYREF | VT_VARIANT, &v.v);
    ASSERT_EQ(VariantChangeType(&copy.v, &reference.v, 0, VT_R8), S_OK);
    EXPECT_EQ(describe(copy.v), "r8 41");
    ASSERT_EQ(VariantChangeType(&copy.v, &to_variant.v, 0, VT_UI2), S_OK);
    EXPECT_EQ(describe(copy.v), "12");
    ASSERT_EQ(VariantChangeType(&copy.v, &to_variant.v, 0, VT_BSTR), S_OK);
    EXPECT_NE(copy.v.bstrVal, v.v.bstrVal);
    reference.v.plVal = nullptr;
    to_variant.v.pvarVal = nullptr;
    for (const VARIANT *source : {&reference.v, &to_variant.v, static_cast<VARIANT *>(nullptr)})
        EXPECT_EQ(VariantChangeType(&copy.v, source, 0, VT_R8), E_INVALIDARG);
    EXPECT_EQ(VariantChangeType(nullptr, &copy.v, 0, VT_I4), E_INVALIDARG);
}

// Its numbers are read by the registration script's tests (the fuzz target: as VT_UI4 conversion).
TEST(VarUI4FromStr, RefusesNullsAndLeavesTheOutputAloneOnFailure)
{
    ULONG out = 7;
    EXPECT_EQ(VarUI4FromStr(u"4294967296", 0, 0, &out), DISP_E_OVERFLOW);
    EXPECT_EQ(VarUI4FromStr(nullptr, 0, 0, &out), E_INVALIDARG);
    EXPECT_EQ(out, 7u);
    EXPECT_EQ(VarUI4FromStr(u"1", 0, 0, nullptr), E_INVALIDARG);
}

} // namespace
