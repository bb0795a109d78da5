// Identifiers as text: the braced form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#include <objbase.h>

#include <cstdint>

namespace {
constexpr int braced_length = CHARS_IN_GUID - 1; // 38 characters before the zero

// Positions of the 32 hexadecimal digits in the braced form, in byte order of
// the text: Data1 (8 digits), Data2 (4), Data3 (4), Data4[0..1] (4), Data4[2..7] (12).
constexpr bool is_dash_position(int i) { return i == 9 || i == 14 || i == 19 || i == 24; }

int hex_value(OLECHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// Reads the 32 digits of a braced identifier in order. Stops at the first
// character that does not fit, so a shorter string is never read past its zero.
bool parse_braced(LPCOLESTR text, GUID &out)
{
    std::uint8_t digits[32];
    int count = 0;
    for (int i = 0; i < braced_length; ++i) {
        const OLECHAR c = text[i];
        if (i == 0) {
            if (c != u'{')
                return false;
        } else if (i == braced_length - 1) {
            if (c != u'}')
                return false;
        } else if (is_dash_position(i)) {
            if (c != u'-')
                return false;
        } else {
            const int v = hex_value(c);
            if (v < 0)
                return false;
            digits[count++] = static_cast<std::uint8_t>(v);
        }
    }
    if (text[braced_length] != 0)
        return false;

    auto take = [&digits](int first, int n) {
        std::uint32_t v = 0;
        for (int k = 0; k < n; ++k)
            v = (v << 4) | digits[first + k];
        return v;
    };
    out.Data1 = take(0, 8);
    out.Data2 = static_cast<std::uint16_t>(take(8, 4));
    out.Data3 = static_cast<std::uint16_t>(take(12, 4));
    for (int b = 0; b < 8; ++b)
        out.Data4[b] = static_cast<std::uint8_t>(take(16 + 2 * b, 2));
    return true;
}

// Shared by both parsers: a null string is the null identifier.
HRESULT parse_identifier(LPCOLESTR text, GUID *out, HRESULT malformed)
{
    if (out == nullptr)
        return E_INVALIDARG;
    *out = GUID_NULL;
    if (text == nullptr)
        return S_OK;
    GUID parsed;
    if (!parse_braced(text, parsed))
        return malformed;
    *out = parsed;
    return S_OK;
}
} // namespace

EXTERN_C int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (lpsz == nullptr || cchMax < CHARS_IN_GUID)
        return 0;
    static constexpr char16_t hex[] = u"0123456789ABCDEF";
    int pos = 0;
    auto put = [&](std::uint32_t value, int n) {
        for (int k = n - 1; k >= 0; --k)
            lpsz[pos++] = hex[(value >> (4 * k)) & 0xF];
    };
    lpsz[pos++] = u'{';
    put(rguid.Data1, 8);
    lpsz[pos++] = u'-';
    put(rguid.Data2, 4);
    lpsz[pos++] = u'-';
    put(rguid.Data3, 4);
    lpsz[pos++] = u'-';
    put(rguid.Data4[0], 2);
    put(rguid.Data4[1], 2);
    lpsz[pos++] = u'-';
    for (int b = 2; b < 8; ++b)
        put(rguid.Data4[b], 2);
    lpsz[pos++] = u'}';
    lpsz[pos++] = 0;
    return pos;
}

EXTERN_C HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    // Only the braced form is read here: ProgIDs are not looked up.
    return parse_identifier(lpsz, pclsid, CO_E_CLASSSTRING);
}

EXTERN_C HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid)
{
    return parse_identifier(lpsz, lpiid, E_INVALIDARG);
}
