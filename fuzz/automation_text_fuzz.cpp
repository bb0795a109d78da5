// Arbitrary UTF-16 text through the automation text readers, which must agree with each other.
#include "fuzz_support.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
using fuzz::require;

void guid_text(const std::vector<OLECHAR> &text)
{
    GUID clsid, iid;
    const HRESULT as_class = CLSIDFromString(text.data(), &clsid);
    const HRESULT as_interface = IIDFromString(text.data(), &iid);
    require(SUCCEEDED(as_class) == SUCCEEDED(as_interface));
    if (FAILED(as_class))
        return;
    require(IsEqualGUID(clsid, iid));
    OLECHAR again[CHARS_IN_GUID];
    require(StringFromGUID2(clsid, again, CHARS_IN_GUID) == CHARS_IN_GUID);
    // The same text but for the case of its hex digits.
    require(std::equal(again, again + CHARS_IN_GUID, text.begin(), [](OLECHAR upper, OLECHAR c) {
        return upper == (c >= u'a' && c <= u'f' ? c - u'a' + u'A' : c);
    }));
}

// A variant that clears itself when it goes.
struct Variant : VARIANT {
    Variant() : VARIANT{} {}
    ~Variant() { VariantClear(this); }
};

void number_text(const std::vector<OLECHAR> &text, std::size_t length)
{
    Variant source;
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(length));
    if (source.bstrVal == nullptr)
        return;

    ULONG direct = 0;
    const HRESULT direct_result = VarUI4FromStr(text.data(), 0, 0, &direct);
    Variant through_variant;
    const HRESULT variant_result = VariantChangeType(&through_variant, &source, 0, VT_UI4);
    // Without embedded zeros both readers see the same text.
    if (std::char_traits<char16_t>::length(text.data()) == length) {
        require(direct_result == variant_result);
        if (SUCCEEDED(direct_result))
            require(direct == through_variant.ulVal);
    }

    const VARTYPE numbers[] = {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_I8, VT_UI8, VT_R4, VT_R8, VT_BOOL};
    for (VARTYPE vt : numbers) {
        Variant number, written, read_back;
        if (FAILED(VariantChangeType(&number, &source, 0, vt)))
            continue;
        // A number written as text reads back as the same number.
        require(VariantChangeType(&written, &number, 0, VT_BSTR) == S_OK);
        if (vt != VT_R4 && vt != VT_R8 && vt != VT_BOOL) {
            require(VariantChangeType(&read_back, &written, 0, vt) == S_OK);
            require(read_back.ullVal == number.ullVal);
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::size_t length = size / sizeof(OLECHAR);
    // Exactly the text and its zero, so that reading past the end is caught.
    std::vector<OLECHAR> text(length + 1);
    std::memcpy(text.data(), data, length * sizeof(OLECHAR));
    text[length] = 0;
    guid_text(text);
    number_text(text, length);
    return 0;
}
