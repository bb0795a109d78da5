// Variants: what clearing releases and what copying duplicates.
#include "counting_objects.h"

#include <gtest/gtest.h>

#include <cstring>

static VARIANT holding(VARTYPE vt, void *value)
{
    VARIANT v;
    v.vt = vt;
    v.byref = value;
    return v;
}

TEST(VariantClear, ReleasesWhatItOwnsAndNothingThroughReferencesAndRefusesBadTypes)
{
    CountingUnknown object;
    object.AddRef();
    IUnknown *held = &object;
    BSTR text = SysAllocString(u"still mine");
    SAFEARRAY *array = SafeArrayCreateVector(VT_R8, 0, 2);
    // Owned strings and arrays are freed: the sanitizer build reports leaks.
    VARIANT cases[] = {
        holding(VT_BSTR, SysAllocString(u"owned")), holding(VT_ARRAY | VT_I4, SafeArrayCreateVector(VT_I4, 0, 8)),
        holding(VT_UNKNOWN, &object), holding(VT_DISPATCH, nullptr), holding(VT_BYREF | VT_UNKNOWN, &held),
        holding(VT_BYREF | VT_BSTR, &text), holding(VT_BYREF | VT_ARRAY | VT_R8, &array),
    };
    for (VARIANT &v : cases) {
        EXPECT_EQ(VariantClear(&v), S_OK);
        EXPECT_EQ(v.vt, VT_EMPTY);
    }
    EXPECT_EQ(std::tuple(object.references.load(), SysStringLen(text), SafeArrayGetDim(array)),
              std::tuple(1u, 10u, 1u));
    SysFreeString(text);
    // Refused variants are left alone.
    for (VARTYPE vt : {VARTYPE(0x7F), VARTYPE(VT_VARIANT), VARTYPE(VT_ARRAY | VT_EMPTY), VARTYPE(VT_BYREF | VT_NULL),
                       VARTYPE(VT_RESERVED | VT_I4), VARTYPE(VT_RECORD), VARTYPE(VT_ARRAY | VT_RECORD)}) {
        VARIANT v = holding(vt, reinterpret_cast<void *>(0x1234));
        EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << vt;
        EXPECT_EQ(std::pair(v.vt, v.llVal), std::pair(vt, LONGLONG{0x1234}));
    }
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    VARIANT v = holding(VT_ARRAY | VT_R8, array);
    ASSERT_EQ(SafeArrayLock(array), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_R8);
    ASSERT_EQ(SafeArrayUnlock(array), S_OK);
    EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(VariantCopy, DuplicatesStringsAndArraysCountsInterfacesSharesReferences)
{
    VARIANT text = holding(VT_BSTR, SysAllocStringByteLen("odd\0x", 5)); // odd length with a zero inside
    CountingUnknown object;
    VARIANT copy = holding(VT_UNKNOWN, &object);
    object.AddRef();
    ASSERT_EQ(VariantCopy(&copy, &text), S_OK); // the destination is cleared first
    EXPECT_EQ(object.references, 1u);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    ASSERT_EQ(SysStringByteLen(copy.bstrVal), 5u);
    EXPECT_EQ(std::memcmp(copy.bstrVal, "odd\0x", 5), 0);
    VARIANT array = holding(VT_ARRAY | VT_I4, SafeArrayCreateVector(VT_I4, 0, 4));
    static_cast<LONG *>(array.parray->pvData)[3] = 77;
    ASSERT_EQ(VariantCopy(&copy, &array), S_OK); // the string held before is freed
    EXPECT_NE(copy.parray, array.parray);
    EXPECT_EQ(static_cast<LONG *>(copy.parray->pvData)[3], 77);
    VARIANT unknown = holding(VT_UNKNOWN, &object);
    ASSERT_EQ(VariantCopy(&copy, &unknown), S_OK);
    EXPECT_EQ(object.references, 2u);
    LONG number = 5;
    VARIANT reference = holding(VT_BYREF | VT_I4, &number);
    ASSERT_EQ(VariantCopy(&copy, &reference), S_OK);
    EXPECT_EQ(std::pair(object.references.load(), copy.plVal), std::pair(1u, &number));
    VARIANT null_string = holding(VT_BSTR, nullptr);
    ASSERT_EQ(VariantCopy(&copy, &null_string), S_OK);
    EXPECT_EQ(copy.bstrVal, nullptr);
    EXPECT_EQ(VariantCopy(&text, &text), S_OK);
    EXPECT_EQ(SysStringByteLen(text.bstrVal), 5u);
    VariantClear(&text);
    VariantClear(&array);
}

TEST(VariantCopy, FailuresAndRefusals)
{
    SAFEARRAY bogus{}; // no dimensions: cannot be copied
    bogus.fFeatures = FADF_AUTO;
    VARIANT source = holding(VT_ARRAY | VT_I4, &bogus), bad = holding(0x7F, nullptr), empty = holding(VT_EMPTY, nullptr);
    VARIANT dest = holding(VT_BSTR, SysAllocString(u"gone"));
    EXPECT_TRUE(FAILED(VariantCopy(&dest, &source)));
    EXPECT_EQ(dest.vt, VT_EMPTY) << "a failed copy leaves the destination empty";
    dest = holding(VT_ARRAY | VT_I4, SafeArrayCreateVector(VT_I4, 0, 2));
    EXPECT_EQ(VariantCopy(&dest, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(nullptr, &dest), E_INVALIDARG);
    EXPECT_EQ(VariantCopy(&dest, nullptr), E_INVALIDARG);
    ASSERT_EQ(SafeArrayLock(dest.parray), S_OK);
    EXPECT_EQ(VariantCopy(&dest, &empty), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(dest.vt, VT_ARRAY | VT_I4) << "a refused copy leaves the destination alone";
    ASSERT_EQ(SafeArrayUnlock(dest.parray), S_OK);
    VariantClear(&dest);
}
