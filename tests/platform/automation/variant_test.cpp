// Variants: what clearing releases and what copying duplicates.
#include "counting_objects.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
VARIANT holding_string(const OLECHAR *text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}

VARIANT holding_array(ULONG count)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_I4;
    v.parray = SafeArrayCreateVector(VT_I4, 0, count);
    return v;
}
} // namespace

TEST(VariantClear, ReleasesWhatTheVariantOwns)
{
    // Strings and arrays are freed (the sanitizer build reports leaks).
    VARIANT text = holding_string(u"owned");
    EXPECT_EQ(VariantClear(&text), S_OK);
    EXPECT_EQ(text.vt, VT_EMPTY);
    VARIANT array = holding_array(8);
    EXPECT_EQ(VariantClear(&array), S_OK);
    EXPECT_EQ(array.vt, VT_EMPTY);

    CountingUnknown object;
    VARIANT unknown;
    unknown.vt = VT_UNKNOWN;
    unknown.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&unknown), S_OK);
    EXPECT_EQ(object.references, 1u);
    EXPECT_EQ(unknown.vt, VT_EMPTY);

    VARIANT dispatch;
    dispatch.vt = VT_DISPATCH;
    dispatch.pdispVal = nullptr; // nothing to release
    EXPECT_EQ(VariantClear(&dispatch), S_OK);
    EXPECT_EQ(dispatch.vt, VT_EMPTY);
}

TEST(VariantClear, ReferencesOwnNothing)
{
    CountingUnknown object;
    IUnknown *held = &object;
    BSTR text = SysAllocString(u"still mine");
    SAFEARRAY *array = SafeArrayCreateVector(VT_R8, 0, 2);

    VARIANT v;
    v.vt = VT_BYREF | VT_UNKNOWN;
    v.ppunkVal = &held;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.references, 1u);

    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = &text;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(SysStringLen(text), 10u);

    v.vt = VT_BYREF | VT_ARRAY | VT_R8;
    v.pparray = &array;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(SafeArrayGetDim(array), 1u);

    SysFreeString(text);
    SafeArrayDestroy(array);
}

TEST(VariantClear, UnknownTypesAreRefusedAndLeftAlone)
{
    for (VARTYPE vt : {VARTYPE(0x7F), VARTYPE(VT_VARIANT), VARTYPE(VT_ARRAY | VT_EMPTY), VARTYPE(VT_BYREF | VT_NULL),
                       VARTYPE(VT_RESERVED | VT_I4), VARTYPE(VT_RECORD), VARTYPE(VT_ARRAY | VT_RECORD)}) {
        VARIANT v;
        v.vt = vt;
        v.llVal = 0x1234;
        EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << vt;
        EXPECT_EQ(v.vt, vt);
        EXPECT_EQ(v.llVal, 0x1234);
    }
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(VariantClear, LockedArrayStaysInTheVariant)
{
    VARIANT v = holding_array(3);
    SAFEARRAY *array = v.parray;
    ASSERT_EQ(SafeArrayLock(array), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(v.parray, array);
    ASSERT_EQ(SafeArrayUnlock(array), S_OK);
    EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(VariantCopy, StringsAndArraysAreDuplicated)
{
    VARIANT source;
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocStringByteLen("odd\0x", 5); // odd length with a zero inside
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    ASSERT_EQ(SysStringByteLen(copy.bstrVal), 5u);
    EXPECT_EQ(std::memcmp(copy.bstrVal, "odd\0x", 5), 0);
    VariantClear(&source);
    VariantClear(&copy);

    VARIANT array = holding_array(4);
    static_cast<LONG *>(array.parray->pvData)[3] = 77;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &array), S_OK);
    EXPECT_EQ(copy.vt, VT_ARRAY | VT_I4);
    EXPECT_NE(copy.parray, array.parray);
    EXPECT_EQ(static_cast<LONG *>(copy.parray->pvData)[3], 77);
    VariantClear(&array);
    VariantClear(&copy);

    VARIANT null_string;
    null_string.vt = VT_BSTR;
    null_string.bstrVal = nullptr;
    ASSERT_EQ(VariantCopy(&copy, &null_string), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_EQ(copy.bstrVal, nullptr);
}

TEST(VariantCopy, InterfacesGainAReferenceAndReferencesStayShared)
{
    CountingUnknown object;
    VARIANT source;
    source.vt = VT_UNKNOWN;
    source.punkVal = &object;
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(copy.punkVal, &object);
    EXPECT_EQ(object.references, 2u);
    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(object.references, 1u);

    LONG number = 5;
    VARIANT reference;
    reference.vt = VT_BYREF | VT_I4;
    reference.plVal = &number;
    ASSERT_EQ(VariantCopy(&copy, &reference), S_OK);
    EXPECT_EQ(copy.vt, VT_BYREF | VT_I4);
    EXPECT_EQ(copy.plVal, &number);
}

TEST(VariantCopy, DestinationIsClearedFirst)
{
    CountingUnknown object;
    VARIANT dest;
    dest.vt = VT_UNKNOWN;
    dest.punkVal = &object;
    object.AddRef();
    VARIANT source;
    source.vt = VT_R8;
    source.dblVal = 2.5;
    ASSERT_EQ(VariantCopy(&dest, &source), S_OK);
    EXPECT_EQ(object.references, 1u);
    EXPECT_EQ(dest.vt, VT_R8);
    EXPECT_EQ(dest.dblVal, 2.5);

    // A string held by the destination is freed (checked by the sanitizer build).
    VARIANT text = holding_string(u"replaced");
    ASSERT_EQ(VariantCopy(&text, &source), S_OK);
    EXPECT_EQ(text.vt, VT_R8);
}

TEST(VariantCopy, FailureLeavesTheDestinationEmpty)
{
    // A descriptor with no dimensions cannot be copied.
    SAFEARRAY bogus{};
    bogus.fFeatures = FADF_AUTO;
    VARIANT source;
    source.vt = VT_ARRAY | VT_I4;
    source.parray = &bogus;
    VARIANT dest = holding_string(u"gone");
    EXPECT_TRUE(FAILED(VariantCopy(&dest, &source)));
    EXPECT_EQ(dest.vt, VT_EMPTY);
}

TEST(VariantCopy, RefusalsLeaveTheDestinationAlone)
{
    VARIANT dest = holding_string(u"kept");
    VARIANT bad;
    bad.vt = 0x7F;
    EXPECT_EQ(VariantCopy(&dest, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(dest.vt, VT_BSTR);
    EXPECT_EQ(VariantCopy(&dest, &dest), S_OK);
    EXPECT_EQ(SysStringLen(dest.bstrVal), 4u);
    EXPECT_EQ(VariantCopy(nullptr, &dest), E_INVALIDARG);
    EXPECT_EQ(VariantCopy(&dest, nullptr), E_INVALIDARG);

    // A locked array in the destination cannot be released: nothing changes.
    VARIANT locked = holding_array(2);
    ASSERT_EQ(SafeArrayLock(locked.parray), S_OK);
    EXPECT_EQ(VariantCopy(&locked, &dest), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(locked.vt, VT_ARRAY | VT_I4);
    ASSERT_EQ(SafeArrayUnlock(locked.parray), S_OK);
    VariantClear(&locked);
    VariantClear(&dest);
}
