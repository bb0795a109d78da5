// Converting variants between the scalar types and text.
//
// A source is first read into a Value (a whole number, a real, a truth value,
// text or nothing) and the Value is then written as the destination type, with
// range checks. Reals become whole numbers by rounding half to even.
#include "automation/number_text.h"
#include "automation/variant_types.h"

#include <variant_type_table.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

using namespace morvane::automation;
namespace vartype = morvane::vartype;

namespace {

struct Value {
    enum class Kind { empty, integer, real, boolean, text } kind = Kind::empty;
    bool negative = false;        // integer: sign
    std::uint64_t magnitude = 0;  // integer: absolute value
    double real = 0.0;            // real
    bool single = false;          // real: came from a 4-byte float
    bool truth = false;           // boolean
    const OLECHAR *text = nullptr; // text: characters (null reads as empty)
    std::size_t length = 0;
};

Value from_signed(std::int64_t v)
{
    Value value;
    value.kind = Value::Kind::integer;
    value.negative = v < 0;
    value.magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    return value;
}

Value from_unsigned(std::uint64_t v)
{
    Value value;
    value.kind = Value::Kind::integer;
    value.magnitude = v;
    return value;
}

Value from_real(double v, bool single)
{
    Value value;
    value.kind = Value::Kind::real;
    value.real = v;
    value.single = single;
    return value;
}

// A whole-number type's width and sign; size 0 for every other type.
struct Integer {
    unsigned size = 0;
    bool is_signed = false;
};

Integer integer_type(VARTYPE vt)
{
    const vartype::Info *info = vartype::find(vt);
    if (info == nullptr || !(info->uses & vartype::convertible) || vt == VT_BOOL)
        return {};
    if (info->passing == vartype::Passing::signed_)
        return {info->size, true};
    if (info->passing == vartype::Passing::unsigned_)
        return {info->size, false};
    return {};
}

// Reads text as a number: a type mismatch when it is no number, an overflow when
// no double holds it.
HRESULT parse_text(const Value &value, ParsedNumber &parsed)
{
    parsed = parse_number(value.text, value.length);
    if (parsed.status == ParsedNumber::Status::invalid)
        return DISP_E_TYPEMISMATCH;
    if (parsed.status == ParsedNumber::Status::overflow)
        return DISP_E_OVERFLOW;
    return S_OK;
}

// Reads a scalar source, following one level of reference.
HRESULT read_value(const VARIANT &src, Value &out)
{
    const VARTYPE vt = src.vt & ~VT_BYREF;
    const bool byref = (src.vt & VT_BYREF) != 0;
    if (src.vt & VT_ARRAY)
        return DISP_E_TYPEMISMATCH;
    if (byref && src.byref == nullptr)
        return E_INVALIDARG;
    // The value's storage: in the variant itself or behind its reference.
    const void *at = byref ? src.byref : static_cast<const void *>(&src.llVal);
    auto read = [at](auto sample) {
        decltype(sample) v;
        std::memcpy(&v, at, sizeof v);
        return v;
    };
    auto give = [&out](const Value &value) {
        out = value;
        return S_OK;
    };
    if (const Integer integer = integer_type(vt); integer.size != 0) {
        // The value's bytes, sign-extended for the signed types.
        std::uint64_t bits = 0;
        std::memcpy(&bits, at, integer.size);
        const unsigned spare = 64 - 8 * integer.size;
        if (integer.is_signed)
            return give(from_signed(static_cast<std::int64_t>(bits << spare) >> spare));
        return give(from_unsigned(bits));
    }
    switch (vt) {
    case VT_EMPTY:
        return give(Value{});
    case VT_R4:
        return give(from_real(read(float{}), true));
    case VT_R8:
        return give(from_real(read(double{}), false));
    case VT_BOOL: {
        Value value;
        value.kind = Value::Kind::boolean;
        value.truth = read(VARIANT_BOOL{}) != VARIANT_FALSE;
        return give(value);
    }
    case VT_BSTR: {
        Value value;
        value.kind = Value::Kind::text;
        const BSTR text = read(BSTR{});
        value.text = text;
        value.length = SysStringLen(text);
        return give(value);
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

// The whole-number range of a destination type.
struct IntegerRange {
    std::uint64_t max_positive;
    std::uint64_t max_negative; // magnitude of the minimum; 0 for unsigned types
};

IntegerRange range_of(VARTYPE vt)
{
    const Integer integer = integer_type(vt);
    const unsigned bits = 8 * integer.size;
    if (integer.is_signed)
        return {(std::uint64_t{1} << (bits - 1)) - 1, std::uint64_t{1} << (bits - 1)};
    return {bits == 64 ? UINT64_MAX : (std::uint64_t{1} << bits) - 1, 0};
}

double round_half_even(double d)
{
    double r = std::floor(d);
    const double rest = d - r;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    return r;
}

// A real as a sign and magnitude, or overflow when no 64-bit integer holds it.
HRESULT real_to_integer(double d, bool &negative, std::uint64_t &magnitude)
{
    if (std::isnan(d))
        return DISP_E_OVERFLOW;
    const double r = round_half_even(d);
    constexpr double two_to_64 = 18446744073709551616.0;
    if (r <= -two_to_64 || r >= two_to_64)
        return DISP_E_OVERFLOW;
    negative = r < 0;
    magnitude = static_cast<std::uint64_t>(negative ? -r : r);
    return S_OK;
}

// Gives the value as a whole number within range; the result is its two's complement bits.
HRESULT to_integer(const Value &value, VARTYPE vt, std::uint64_t &bits)
{
    const IntegerRange range = range_of(vt);
    bool negative = false;
    std::uint64_t magnitude = 0;
    switch (value.kind) {
    case Value::Kind::empty:
        break;
    case Value::Kind::integer:
        negative = value.negative;
        magnitude = value.magnitude;
        break;
    case Value::Kind::real:
        if (const HRESULT hr = real_to_integer(value.real, negative, magnitude); FAILED(hr))
            return hr;
        break;
    case Value::Kind::boolean:
        // True is -1; an unsigned type receives its all-ones value.
        if (value.truth) {
            negative = range.max_negative != 0;
            magnitude = negative ? 1 : range.max_positive;
        }
        break;
    case Value::Kind::text: {
        ParsedNumber parsed;
        if (const HRESULT hr = parse_text(value, parsed); FAILED(hr))
            return hr;
        if (parsed.exact_integer) {
            negative = parsed.negative;
            magnitude = parsed.magnitude;
        } else if (const HRESULT hr = real_to_integer(parsed.value, negative, magnitude); FAILED(hr)) {
            return hr;
        }
        break;
    }
    }
    if (magnitude == 0)
        negative = false; // "-0" is zero for every type
    if (magnitude > (negative ? range.max_negative : range.max_positive))
        return DISP_E_OVERFLOW;
    bits = negative ? 0 - magnitude : magnitude;
    return S_OK;
}

HRESULT to_real(const Value &value, double &out)
{
    switch (value.kind) {
    case Value::Kind::empty:
        out = 0.0;
        return S_OK;
    case Value::Kind::integer:
        out = static_cast<double>(value.magnitude);
        if (value.negative)
            out = -out;
        return S_OK;
    case Value::Kind::real:
        out = value.real;
        return S_OK;
    case Value::Kind::boolean:
        out = value.truth ? -1.0 : 0.0;
        return S_OK;
    case Value::Kind::text: {
        ParsedNumber parsed;
        if (const HRESULT hr = parse_text(value, parsed); FAILED(hr))
            return hr;
        out = parsed.value;
        return S_OK;
    }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT to_single(const Value &value, float &out)
{
    double d;
    if (const HRESULT hr = to_real(value, d); FAILED(hr))
        return hr;
    if (std::fabs(d) > std::numeric_limits<float>::max()) // also infinities; NaN passes
        return DISP_E_OVERFLOW;
    out = static_cast<float>(d);
    return S_OK;
}

HRESULT to_boolean(const Value &value, bool &out)
{
    if (value.kind == Value::Kind::boolean) {
        out = value.truth;
        return S_OK;
    }
    if (value.kind == Value::Kind::text) {
        if (equals_word(value.text, value.length, "true")) {
            out = true;
            return S_OK;
        }
        if (equals_word(value.text, value.length, "false")) {
            out = false;
            return S_OK;
        }
    }
    double d;
    if (const HRESULT hr = to_real(value, d); FAILED(hr))
        return hr;
    out = d != 0.0; // NaN counts as true
    return S_OK;
}

HRESULT to_text(const Value &value, USHORT flags, BSTR &out)
{
    std::u16string text;
    switch (value.kind) {
    case Value::Kind::empty:
        break;
    case Value::Kind::integer:
        text = value.negative ? format_signed(static_cast<std::int64_t>(0 - value.magnitude))
                              : format_unsigned(value.magnitude);
        break;
    case Value::Kind::real:
        text = format_real(value.real, value.single ? 7 : 15);
        break;
    case Value::Kind::boolean:
        if (flags & VARIANT_ALPHABOOL)
            text = value.truth ? u"True" : u"False";
        else
            text = value.truth ? u"-1" : u"0";
        break;
    case Value::Kind::text:
        text.assign(value.text == nullptr ? u"" : value.text, value.length);
        break;
    }
    out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return out == nullptr ? E_OUTOFMEMORY : S_OK;
}

// Stores the low bits of a checked whole number in the member of type vt (every
// member of the value union starts at the same place).
void store_integer(VARIANT &result, VARTYPE vt, std::uint64_t bits)
{
    std::memcpy(&result.llVal, &bits, integer_type(vt).size);
}

// Writes value as type vt into result, which is empty.
HRESULT convert(const Value &value, USHORT flags, VARTYPE vt, VARIANT &result)
{
    result.llVal = 0;
    HRESULT hr = S_OK;
    if (integer_type(vt).size != 0) {
        std::uint64_t bits = 0;
        hr = to_integer(value, vt, bits);
        store_integer(result, vt, bits);
        if (SUCCEEDED(hr))
            result.vt = vt;
        return hr;
    }
    switch (vt) {
    case VT_EMPTY:
        break;
    case VT_R4:
        hr = to_single(value, result.fltVal);
        break;
    case VT_R8:
        hr = to_real(value, result.dblVal);
        break;
    case VT_BOOL: {
        bool truth = false;
        hr = to_boolean(value, truth);
        result.boolVal = truth ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    }
    case VT_BSTR:
        hr = to_text(value, flags, result.bstrVal);
        break;
    default:
        return DISP_E_TYPEMISMATCH;
    }
    if (SUCCEEDED(hr))
        result.vt = vt;
    return hr;
}

} // namespace

EXTERN_C HRESULT VariantChangeType(VARIANTARG *pvargDest, const VARIANTARG *pvarSrc, USHORT wFlags, VARTYPE vt)
{
    if (pvargDest == nullptr || pvarSrc == nullptr)
        return E_INVALIDARG;
    if (!is_valid_variant_type(pvarSrc->vt) || !is_valid_variant_type(vt))
        return DISP_E_BADVARTYPE;
    if (pvarSrc->vt == vt)
        return VariantCopy(pvargDest, pvarSrc);

    // A reference to a variant is followed once, to the variant it names.
    const VARIANT *source = pvarSrc;
    if (source->vt == (VT_BYREF | VT_VARIANT)) {
        source = pvarSrc->pvarVal;
        if (source == nullptr)
            return E_INVALIDARG;
        if (!is_valid_variant_type(source->vt))
            return DISP_E_BADVARTYPE;
        if (source->vt == vt)
            return VariantCopy(pvargDest, source);
    }
    Value value;
    if (const HRESULT hr = read_value(*source, value); FAILED(hr))
        return hr;
    VARIANT result{};
    if (const HRESULT hr = convert(value, wFlags, vt, result); FAILED(hr))
        return hr; // the destination is untouched
    // The source has been read in full; the destination may be the source itself.
    if (const HRESULT hr = VariantClear(pvargDest); FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}

EXTERN_C HRESULT VarUI4FromStr(LPCOLESTR strIn, LCID /*lcid*/, ULONG /*dwFlags*/, ULONG *pulOut)
{
    if (strIn == nullptr || pulOut == nullptr)
        return E_INVALIDARG;
    Value value;
    value.kind = Value::Kind::text;
    value.text = strIn;
    while (strIn[value.length] != 0)
        ++value.length;
    std::uint64_t bits = 0;
    if (const HRESULT hr = to_integer(value, VT_UI4, bits); FAILED(hr))
        return hr;
    *pulOut = static_cast<ULONG>(bits);
    return S_OK;
}
