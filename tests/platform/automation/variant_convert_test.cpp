// Converting variants between numbers, truth values and text.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace {
// A variant of type vt holding value.
template <typename T>
VARIANT scalar(VARTYPE vt, T value)
{
    VARIANT r{};
    r.vt = vt;
    std::memcpy(&r.llVal, &value, sizeof value);
    return r;
}
VARIANT of_i4(LONG v) { return scalar(VT_I4, v); }
VARIANT of_ui4(ULONG v) { return scalar(VT_UI4, v); }
VARIANT of_i8(LONGLONG v) { return scalar(VT_I8, v); }
VARIANT of_ui8(ULONGLONG v) { return scalar(VT_UI8, v); }
VARIANT of_r8(double v) { return scalar(VT_R8, v); }
VARIANT of_r4(float v) { return scalar(VT_R4, v); }
VARIANT of_bool(bool v) { return scalar(VT_BOOL, v ? VARIANT_TRUE : VARIANT_FALSE); }

// Owns a string variant for the length of a test.
struct TextVariant {
    VARIANT v;
    explicit TextVariant(const OLECHAR *text)
    {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
    }
    ~TextVariant() { VariantClear(&v); }
};

// Converts and returns the result code; the converted value is in out.
HRESULT change(const VARIANT &in, VARTYPE vt, VARIANT &out, USHORT flags = 0)
{
    VariantInit(&out);
    return VariantChangeType(&out, &in, flags, vt);
}

std::u16string text_of(VARIANT in, USHORT flags = 0)
{
    VARIANT out;
    const HRESULT hr = change(in, VT_BSTR, out, flags);
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr))
        return u"<failed>";
    EXPECT_EQ(out.vt, VT_BSTR);
    std::u16string text(out.bstrVal, SysStringLen(out.bstrVal));
    VariantClear(&out);
    return text;
}
} // namespace

TEST(VariantChangeTypeIntegers, NarrowingChecksTheRangeOfEachType)
{
    VARIANT out;
    EXPECT_EQ(change(of_i4(255), VT_UI1, out), S_OK);
    EXPECT_EQ(out.vt, VT_UI1);
    EXPECT_EQ(out.bVal, 255);
    EXPECT_EQ(change(of_i4(256), VT_UI1, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_i4(-1), VT_UI1, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_i4(-128), VT_I1, out), S_OK);
    EXPECT_EQ(static_cast<signed char>(out.cVal), -128);
    EXPECT_EQ(change(of_i4(-129), VT_I1, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_i4(127), VT_I1, out), S_OK);
    EXPECT_EQ(change(of_i4(128), VT_I1, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_i4(-32768), VT_I2, out), S_OK);
    EXPECT_EQ(out.iVal, -32768);
    EXPECT_EQ(change(of_i4(32768), VT_I2, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_i4(65535), VT_UI2, out), S_OK);
    EXPECT_EQ(out.uiVal, 65535);
    EXPECT_EQ(change(of_i4(65536), VT_UI2, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_ui4(0xFFFFFFFFu), VT_I4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_ui4(0xFFFFFFFFu), VT_INT, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_ui4(0x7FFFFFFFu), VT_INT, out), S_OK);
    EXPECT_EQ(out.vt, VT_INT);
    EXPECT_EQ(out.intVal, INT32_MAX);
    EXPECT_EQ(change(of_i4(-1), VT_UINT, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_ui4(0xFFFFFFFFu), VT_I8, out), S_OK);
    EXPECT_EQ(out.llVal, 0xFFFFFFFFll);
    EXPECT_EQ(change(of_i8(INT64_MIN), VT_I4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_i8(-1), VT_UI8, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_ui8(UINT64_MAX), VT_I8, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_ui8(INT64_MAX), VT_I8, out), S_OK);
    EXPECT_EQ(out.llVal, INT64_MAX);
    EXPECT_EQ(change(of_i4(-7), VT_I8, out), S_OK);
    EXPECT_EQ(out.llVal, -7);
}

TEST(VariantChangeTypeIntegers, RealsRoundHalfToEven)
{
    VARIANT out;
    const std::pair<double, LONG> cases[] = {{2.5, 2},   {3.5, 4},   {-2.5, -2}, {-3.5, -4},
                                             {2.4999, 2}, {2.5001, 3}, {-0.4, 0},  {1e9, 1000000000}};
    for (const auto &[real, whole] : cases) {
        ASSERT_EQ(change(of_r8(real), VT_I4, out), S_OK) << real;
        EXPECT_EQ(out.lVal, whole) << real;
    }
    EXPECT_EQ(change(of_r4(254.5f), VT_UI1, out), S_OK);
    EXPECT_EQ(out.bVal, 254);
    EXPECT_EQ(change(of_r8(255.5), VT_UI1, out), DISP_E_OVERFLOW); // rounds to 256
    EXPECT_EQ(change(of_r8(-0.5), VT_UI4, out), S_OK);               // rounds to 0
    EXPECT_EQ(out.ulVal, 0u);
    EXPECT_EQ(change(of_r8(-0.6), VT_UI4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_r8(1e10), VT_I4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_r8(9.3e18), VT_I8, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_r8(9.3e18), VT_UI8, out), S_OK);
    EXPECT_EQ(out.ullVal, 9300000000000000000ull);
    EXPECT_EQ(change(of_r8(1.9e19), VT_UI8, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_r8(std::nan("")), VT_I4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_r8(INFINITY), VT_I8, out), DISP_E_OVERFLOW);
}

TEST(VariantChangeTypeReals, WideningAndNarrowing)
{
    VARIANT out;
    EXPECT_EQ(change(of_i8(INT64_MIN), VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, -9223372036854775808.0);
    EXPECT_EQ(change(of_ui8(UINT64_MAX), VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, 18446744073709551616.0);
    EXPECT_EQ(change(of_r8(0.1), VT_R4, out), S_OK);
    EXPECT_EQ(out.vt, VT_R4);
    EXPECT_EQ(out.fltVal, 0.1f);
    EXPECT_EQ(change(of_r8(1e300), VT_R4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_r8(-1e39), VT_R4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(change(of_r8(std::nan("")), VT_R4, out), S_OK);
    EXPECT_TRUE(std::isnan(out.fltVal));
    EXPECT_EQ(change(of_r4(1.5f), VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, 1.5);
}

TEST(VariantChangeTypeBool, TruthValuesAndNumbers)
{
    VARIANT out;
    EXPECT_EQ(change(of_i4(5), VT_BOOL, out), S_OK);
    EXPECT_EQ(out.vt, VT_BOOL);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(change(of_r8(0.0), VT_BOOL, out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    EXPECT_EQ(change(of_r8(0.25), VT_BOOL, out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);

    EXPECT_EQ(change(of_bool(true), VT_I4, out), S_OK);
    EXPECT_EQ(out.lVal, -1);
    EXPECT_EQ(change(of_bool(true), VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, -1.0);
    EXPECT_EQ(change(of_bool(true), VT_UI1, out), S_OK);
    EXPECT_EQ(out.bVal, 0xFF);
    EXPECT_EQ(change(of_bool(true), VT_UI4, out), S_OK);
    EXPECT_EQ(out.ulVal, 0xFFFFFFFFu);
    EXPECT_EQ(change(of_bool(false), VT_UI2, out), S_OK);
    EXPECT_EQ(out.uiVal, 0);
}

TEST(VariantChangeTypeText, NumbersToText)
{
    EXPECT_EQ(text_of(of_i4(-123)), u"-123");
    EXPECT_EQ(text_of(of_i8(INT64_MIN)), u"-9223372036854775808");
    EXPECT_EQ(text_of(of_ui8(UINT64_MAX)), u"18446744073709551615");
    EXPECT_EQ(text_of(of_r8(0.1)), u"0.1");
    EXPECT_EQ(text_of(of_r8(-2.5)), u"-2.5");
    EXPECT_EQ(text_of(of_r8(1e20)), u"1E+20");
    EXPECT_EQ(text_of(of_r8(1.0 / 3.0)), u"0.333333333333333");
    EXPECT_EQ(text_of(of_r4(0.1f)), u"0.1");
    EXPECT_EQ(text_of(of_r4(1.0f / 3.0f)), u"0.3333333");
    EXPECT_EQ(text_of(of_bool(true)), u"-1");
    EXPECT_EQ(text_of(of_bool(false)), u"0");
    EXPECT_EQ(text_of(of_bool(true), VARIANT_ALPHABOOL), u"True");
    EXPECT_EQ(text_of(of_bool(false), VARIANT_ALPHABOOL), u"False");
}

TEST(VariantChangeTypeText, TextToNumbers)
{
    VARIANT out;
    const struct {
        const char16_t *text;
        VARTYPE vt;
        LONGLONG expected;
    } good[] = {
        {u" 42 ", VT_I4, 42},     {u"\t-7", VT_I2, -7},   {u"+9", VT_UI1, 9},
        {u"2.5", VT_I4, 2},       {u"1e3", VT_I4, 1000},  {u"-0", VT_UI4, 0},
        {u"255", VT_UI1, 255},    {u"-128", VT_I1, -128}, {u"-9223372036854775808", VT_I8, INT64_MIN},
        {u"9223372036854775807", VT_I8, INT64_MAX},       {u".5e1", VT_INT, 5},
    };
    for (const auto &c : good) {
        TextVariant in(c.text);
        ASSERT_EQ(change(in.v, c.vt, out), S_OK) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(out.vt, c.vt);
        VARIANT widened;
        VariantInit(&widened);
        ASSERT_EQ(VariantChangeType(&widened, &out, 0, VT_I8), S_OK);
        EXPECT_EQ(widened.llVal, c.expected);
    }

    TextVariant max(u"18446744073709551615");
    ASSERT_EQ(change(max.v, VT_UI8, out), S_OK);
    EXPECT_EQ(out.ullVal, UINT64_MAX); // exact, not through a double

    TextVariant real(u" 1.25e-2 ");
    ASSERT_EQ(change(real.v, VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, 0.0125);
    TextVariant tiny(u"1e-400");
    ASSERT_EQ(change(tiny.v, VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, 0.0);
}

TEST(VariantChangeTypeText, TextThatIsNoNumberOrTooLarge)
{
    VARIANT out;
    for (const char16_t *text : {u"", u"   ", u"abc", u"4 2", u"12a", u"0x10", u"1e", u"--1", u".", u"1,5", u"+"}) {
        TextVariant in(text);
        EXPECT_EQ(change(in.v, VT_I4, out), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(change(in.v, VT_R8, out), DISP_E_TYPEMISMATCH);
    }
    VARIANT null_text;
    null_text.vt = VT_BSTR;
    null_text.bstrVal = nullptr;
    EXPECT_EQ(change(null_text, VT_I4, out), DISP_E_TYPEMISMATCH);

    TextVariant big(u"99999999999");
    EXPECT_EQ(change(big.v, VT_I4, out), DISP_E_OVERFLOW);
    TextVariant huge(u"123456789012345678901234567890");
    EXPECT_EQ(change(huge.v, VT_UI8, out), DISP_E_OVERFLOW);
    ASSERT_EQ(change(huge.v, VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, 1.2345678901234568e29);
    TextVariant beyond(u"1e400");
    EXPECT_EQ(change(beyond.v, VT_R8, out), DISP_E_OVERFLOW);
    TextVariant beyond_single(u"1e39");
    EXPECT_EQ(change(beyond_single.v, VT_R4, out), DISP_E_OVERFLOW);
}

TEST(VariantChangeTypeText, TextToTruthValue)
{
    VARIANT out;
    for (const char16_t *text : {u"true", u" TRUE ", u"True", u"2", u"-1", u"0.5"}) {
        TextVariant in(text);
        ASSERT_EQ(change(in.v, VT_BOOL, out), S_OK);
        EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    }
    for (const char16_t *text : {u"false", u"False", u"0", u" 0.0"}) {
        TextVariant in(text);
        ASSERT_EQ(change(in.v, VT_BOOL, out), S_OK);
        EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    }
    TextVariant maybe(u"maybe");
    EXPECT_EQ(change(maybe.v, VT_BOOL, out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeTypeEmpty, EmptyConvertsToZeroAndBack)
{
    VARIANT empty;
    VariantInit(&empty);
    VARIANT out;
    ASSERT_EQ(change(empty, VT_I4, out), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 0);
    ASSERT_EQ(change(empty, VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, 0.0);
    ASSERT_EQ(change(empty, VT_BOOL, out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    ASSERT_EQ(change(empty, VT_BSTR, out), S_OK);
    ASSERT_NE(out.bstrVal, nullptr);
    EXPECT_EQ(SysStringLen(out.bstrVal), 0u);
    VariantClear(&out);

    ASSERT_EQ(change(of_r8(3.0), VT_EMPTY, out), S_OK);
    EXPECT_EQ(out.vt, VT_EMPTY);
    TextVariant text(u"x");
    ASSERT_EQ(change(text.v, VT_EMPTY, out), S_OK);
    EXPECT_EQ(out.vt, VT_EMPTY);
}

TEST(VariantChangeTypeInPlace, DestinationMayBeTheSource)
{
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"12");
    // The string is released once converted (the sanitizer build reports a leak otherwise).
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 12);
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(v.bstrVal), u"12");

    // A failed conversion leaves the variant as it was.
    VARIANT bad;
    bad.vt = VT_BSTR;
    bad.bstrVal = SysAllocString(u"x1");
    EXPECT_EQ(VariantChangeType(&bad, &bad, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(bad.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(bad.bstrVal), u"x1");

    // Same type: the variant stays as it is.
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(v.bstrVal), u"12");
    VariantClear(&v);
    VariantClear(&bad);
}

TEST(VariantChangeTypeInPlace, DestinationIsReleasedOnlyOnSuccess)
{
    VARIANT dest;
    dest.vt = VT_BSTR;
    dest.bstrVal = SysAllocString(u"old");
    TextVariant bad(u"nope");
    EXPECT_EQ(VariantChangeType(&dest, &bad.v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(std::u16string(dest.bstrVal), u"old");
    const VARIANT source = of_i4(3);
    ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_R8), S_OK);
    EXPECT_EQ(dest.vt, VT_R8);
    EXPECT_EQ(dest.dblVal, 3.0);

    TextVariant same(u"copied");
    VARIANT copy = of_i4(1);
    ASSERT_EQ(VariantChangeType(&copy, &same.v, 0, VT_BSTR), S_OK);
    EXPECT_NE(copy.bstrVal, same.v.bstrVal);
    EXPECT_EQ(std::u16string(copy.bstrVal), u"copied");
    VariantClear(&copy);
}

TEST(VariantChangeTypeReferences, ReadsThroughReferences)
{
    LONG number = 41;
    VARIANT reference;
    reference.vt = VT_BYREF | VT_I4;
    reference.plVal = &number;
    VARIANT out;
    ASSERT_EQ(change(reference, VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, 41.0);
    ASSERT_EQ(change(reference, VT_I4, out), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 41);

    TextVariant text(u"5");
    VARIANT to_variant;
    to_variant.vt = VT_BYREF | VT_VARIANT;
    to_variant.pvarVal = &text.v;
    ASSERT_EQ(change(to_variant, VT_UI2, out), S_OK);
    EXPECT_EQ(out.uiVal, 5);
    ASSERT_EQ(change(to_variant, VT_BSTR, out), S_OK);
    EXPECT_NE(out.bstrVal, text.v.bstrVal);
    VariantClear(&out);

    reference.plVal = nullptr;
    EXPECT_EQ(change(reference, VT_R8, out), E_INVALIDARG);
}

TEST(VariantChangeTypeRefusals, UnsupportedPairsAndBadTypes)
{
    VARIANT out;
    VARIANT unknown;
    unknown.vt = VT_UNKNOWN;
    unknown.punkVal = nullptr;
    EXPECT_EQ(change(unknown, VT_I4, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(of_i4(1), VT_DISPATCH, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(of_i4(1), VT_ARRAY | VT_I4, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(of_i4(1), VT_BYREF | VT_I4, out), DISP_E_TYPEMISMATCH);
    VARIANT null_value;
    null_value.vt = VT_NULL;
    EXPECT_EQ(change(null_value, VT_I4, out), DISP_E_TYPEMISMATCH);
    SAFEARRAY *array = SafeArrayCreateVector(VT_I4, 0, 1);
    VARIANT holding_array;
    holding_array.vt = VT_ARRAY | VT_I4;
    holding_array.parray = array;
    EXPECT_EQ(change(holding_array, VT_I4, out), DISP_E_TYPEMISMATCH);
    SafeArrayDestroy(array);

    VARIANT bad;
    bad.vt = 0x7F;
    EXPECT_EQ(change(bad, VT_I4, out), DISP_E_BADVARTYPE);
    EXPECT_EQ(change(of_i4(1), 0x7F, out), DISP_E_BADVARTYPE);
    EXPECT_EQ(change(of_i4(1), VT_VARIANT, out), DISP_E_BADVARTYPE);
    const VARIANT one = of_i4(1);
    EXPECT_EQ(VariantChangeType(nullptr, &one, 0, VT_I4), E_INVALIDARG);
    EXPECT_EQ(VariantChangeType(&out, nullptr, 0, VT_I4), E_INVALIDARG);
}

TEST(VarUI4FromStr, DecimalTextWithBlanks)
{
    const std::pair<const char16_t *, ULONG> good[] = {
        {u"0", 0},           {u"123", 123},     {u" 42 ", 42},   {u"4294967295", 4294967295u},
        {u"-0", 0},          {u"+7", 7},        {u"1.5", 2},     {u"2.5", 2},
        {u"0004", 4},
    };
    for (const auto &[text, expected] : good) {
        ULONG out = 0xDEAD;
        ASSERT_EQ(VarUI4FromStr(text, 0, 0, &out), S_OK);
        EXPECT_EQ(out, expected);
    }
    for (const char16_t *text : {u"4294967296", u"-1", u"99999999999999999999999"}) {
        ULONG out = 0xDEAD;
        EXPECT_EQ(VarUI4FromStr(text, 0, 0, &out), DISP_E_OVERFLOW);
        EXPECT_EQ(out, 0xDEADu);
    }
    for (const char16_t *text : {u"", u"  ", u"12a", u"a12", u"1 2", u"0x1F"}) {
        ULONG out = 0xDEAD;
        EXPECT_EQ(VarUI4FromStr(text, 0, 0, &out), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(out, 0xDEADu);
    }
    ULONG out;
    EXPECT_EQ(VarUI4FromStr(nullptr, 0, 0, &out), E_INVALIDARG);
    EXPECT_EQ(VarUI4FromStr(u"1", 0, 0, nullptr), E_INVALIDARG);
}
