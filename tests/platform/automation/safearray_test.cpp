// Safe arrays: dimension order, layout, element types, locks, ownership and refusals.
#include "counting_objects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {
// Bounds as the caller lists them: dimension 1 first.
SAFEARRAY *create(VARTYPE vt, std::vector<SAFEARRAYBOUND> bounds)
{
    return SafeArrayCreate(vt, static_cast<UINT>(bounds.size()), bounds.data());
}
} // namespace

TEST(SafeArrayShape, TwoDimensionsKeepTheirBoundsInReverseStoredOrder)
{
    // Dimension 1: 3 columns from 1; dimension 2: 2 lines from -4.
    SAFEARRAY *psa = create(VT_R8, {{3, 1}, {2, -4}});
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 2u);
    EXPECT_EQ(SafeArrayGetElemsize(psa), sizeof(double));

    LONG lower = 0, upper = 0;
    ASSERT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 3);
    ASSERT_EQ(SafeArrayGetLBound(psa, 2, &lower), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(psa, 2, &upper), S_OK);
    EXPECT_EQ(lower, -4);
    EXPECT_EQ(upper, -3);

    // The descriptor itself lists the last dimension first.
    const SAFEARRAYBOUND *stored = psa->rgsabound;
    EXPECT_EQ(stored[0].cElements, 2u);
    EXPECT_EQ(stored[0].lLbound, -4);
    EXPECT_EQ(stored[1].cElements, 3u);
    EXPECT_EQ(stored[1].lLbound, 1);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayShape, ElementsAreColumnMajorInOneZeroedBlock)
{
    constexpr LONG columns = 3, lines = 2;
    SAFEARRAY *psa = create(VT_R8, {{columns, 0}, {lines, 0}});
    ASSERT_NE(psa, nullptr);
    double *data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void **>(&data)), S_OK);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data, psa->pvData);
    for (int k = 0; k < columns * lines; ++k)
        EXPECT_EQ(data[k], 0.0);
    // Element (i, j) is at i + columns * j: dimension 1 varies fastest. The copy
    // below must reproduce every position of the block.
    for (LONG j = 0; j < lines; ++j)
        for (LONG i = 0; i < columns; ++i)
            data[i + columns * j] = 10.0 * i + j;
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);

    SAFEARRAY *copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->pvData, psa->pvData);
    EXPECT_EQ(std::memcmp(copy->pvData, psa->pvData, sizeof(double) * columns * lines), 0);
    EXPECT_EQ(copy->rgsabound[0].cElements, static_cast<ULONG>(lines));
    EXPECT_EQ(copy->rgsabound[1].cElements, static_cast<ULONG>(columns));
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayShape, VectorHasOneDimension)
{
    SAFEARRAY *psa = SafeArrayCreateVector(VT_I4, -5, 10);
    ASSERT_NE(psa, nullptr);
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetDim(psa), 1u);
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
    EXPECT_EQ(lower, -5);
    EXPECT_EQ(upper, 4);
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lower), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

    SAFEARRAY *empty = SafeArrayCreateVector(VT_R8, 1, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SafeArrayGetUBound(empty, 1, &upper), S_OK);
    EXPECT_EQ(upper, 0);
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
}

TEST(SafeArrayShape, BadDimensionNumbersAndNullArguments)
{
    SAFEARRAY *psa = create(VT_UI1, {{4, 0}, {4, 0}});
    ASSERT_NE(psa, nullptr);
    LONG bound = 99;
    EXPECT_EQ(SafeArrayGetLBound(psa, 0, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(psa, 3, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(bound, 99);
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(nullptr, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayAccessData(psa, nullptr), E_INVALIDARG);
    void *data = nullptr;
    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayUnlock(nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
    EXPECT_EQ(SafeArrayGetElemsize(nullptr), 0u);
    VARTYPE vt;
    EXPECT_EQ(SafeArrayGetVartype(psa, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetVartype(nullptr, &vt), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopy(psa, nullptr), E_INVALIDARG);
    SAFEARRAY *copy = psa;
    EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayTypes, ElementSizesFlagsAndStoredType)
{
    struct Case {
        VARTYPE vt;
        ULONG size;
        USHORT features;
    };
    const Case cases[] = {
        {VT_I1, 1, FADF_HAVEVARTYPE},       {VT_UI1, 1, FADF_HAVEVARTYPE},
        {VT_I2, 2, FADF_HAVEVARTYPE},       {VT_UI2, 2, FADF_HAVEVARTYPE},
        {VT_BOOL, 2, FADF_HAVEVARTYPE},     {VT_I4, 4, FADF_HAVEVARTYPE},
        {VT_UI4, 4, FADF_HAVEVARTYPE},      {VT_INT, 4, FADF_HAVEVARTYPE},
        {VT_UINT, 4, FADF_HAVEVARTYPE},     {VT_R4, 4, FADF_HAVEVARTYPE},
        {VT_ERROR, 4, FADF_HAVEVARTYPE},    {VT_I8, 8, FADF_HAVEVARTYPE},
        {VT_UI8, 8, FADF_HAVEVARTYPE},      {VT_R8, 8, FADF_HAVEVARTYPE},
        {VT_CY, 8, FADF_HAVEVARTYPE},       {VT_DATE, 8, FADF_HAVEVARTYPE},
        {VT_DECIMAL, 16, FADF_HAVEVARTYPE}, {VT_BSTR, 8, FADF_BSTR | FADF_HAVEVARTYPE},
        {VT_VARIANT, 24, FADF_VARIANT | FADF_HAVEVARTYPE},
        {VT_UNKNOWN, 8, FADF_UNKNOWN | FADF_HAVEIID},
        {VT_DISPATCH, 8, FADF_DISPATCH | FADF_HAVEIID},
    };
    for (const Case &c : cases) {
        SAFEARRAY *psa = create(c.vt, {{2, 0}});
        ASSERT_NE(psa, nullptr) << c.vt;
        EXPECT_EQ(psa->cbElements, c.size) << c.vt;
        EXPECT_EQ(psa->fFeatures, c.features) << c.vt;
        VARTYPE vt = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
        EXPECT_EQ(vt, c.vt);
        // A copy keeps the element type.
        SAFEARRAY *copy = nullptr;
        ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
        vt = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
        EXPECT_EQ(vt, c.vt);
        EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
}

TEST(SafeArrayTypes, TypesWithoutArraysAreRefused)
{
    for (VARTYPE vt : std::initializer_list<VARTYPE>{VT_EMPTY, VT_NULL, VT_RECORD, VT_VOID, VT_PTR, VT_LPSTR, 0xFFF,
                       VT_I4 | VT_BYREF, VT_I4 | VT_ARRAY})
        EXPECT_EQ(create(vt, {{2, 0}}), nullptr) << vt;
}

TEST(SafeArrayRefusals, NoDimensionsOrNoBounds)
{
    SAFEARRAYBOUND bound = {1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
}

TEST(SafeArrayRefusals, SizesThatOverflowAreNeverAllocatedShort)
{
    // Each of these would wrap to a small block if the size were computed in 32 or 64 bits unchecked.
    EXPECT_EQ(create(VT_R8, {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}}), nullptr);
    EXPECT_EQ(create(VT_UI1, {{0x80000000u, 0}, {0x80000000u, 0}, {4, 0}}), nullptr); // exactly 2^64 bytes
    EXPECT_EQ(create(VT_VARIANT, {{0x80000000u, 0}, {0x80000000u, 0}}), nullptr);
    EXPECT_EQ(create(VT_I4, {{0x40000000u, 0}, {4, 0}, {0x40000000u, 0}, {4, 0}}), nullptr);
    // 2^63 bytes: no object can be that large.
    EXPECT_EQ(create(VT_I2, {{0x80000000u, 0}, {0x80000000u, 0}}), nullptr);
}

TEST(SafeArrayRefusals, UpperBoundsMustBeRepresentable)
{
    EXPECT_EQ(create(VT_UI1, {{2, INT32_MAX}}), nullptr);
    EXPECT_EQ(create(VT_UI1, {{0xFFFFFFFFu, 1}}), nullptr);
    SAFEARRAY *last = create(VT_UI1, {{1, INT32_MAX}});
    ASSERT_NE(last, nullptr);
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetUBound(last, 1, &upper), S_OK);
    EXPECT_EQ(upper, INT32_MAX);
    EXPECT_EQ(SafeArrayDestroy(last), S_OK);
}

TEST(SafeArrayLocks, CountsAndRefusesUnlockBelowZero)
{
    SAFEARRAY *psa = create(VT_I4, {{4, 0}});
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayLock(psa), S_OK);
    void *data = nullptr;
    EXPECT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    EXPECT_EQ(psa->cLocks, 2u);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(psa->cLocks, 0u);
    EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);
    EXPECT_EQ(psa->cLocks, 0u);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayLocks, LockedArrayIsNotDestroyed)
{
    SAFEARRAY *psa = create(VT_BSTR, {{2, 0}});
    ASSERT_NE(psa, nullptr);
    BSTR *data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void **>(&data)), S_OK);
    data[0] = SysAllocString(u"kept");
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    // Still whole and usable.
    EXPECT_EQ(SysStringLen(data[0]), 4u);
    EXPECT_EQ(SafeArrayGetDim(psa), 1u);
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayLocks, CopyOfALockedArrayIsUnlocked)
{
    SAFEARRAY *psa = create(VT_I4, {{2, 0}});
    ASSERT_NE(psa, nullptr);
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    SAFEARRAY *copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    EXPECT_EQ(copy->cLocks, 0u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArrayOwnership, StringsAreCopiedDeeplyAndFreedWithTheArray)
{
    // Two dimensions, so that every one of the 6 positions must be released.
    SAFEARRAY *psa = create(VT_BSTR, {{3, 0}, {2, 0}});
    ASSERT_NE(psa, nullptr);
    auto *data = static_cast<BSTR *>(psa->pvData);
    for (int k = 0; k < 6; ++k)
        if (k != 4) // one null element stays null in the copy
            data[k] = SysAllocStringLen(u"ab\0cd", static_cast<UINT>(k % 5 + 1));

    SAFEARRAY *copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    auto *copied = static_cast<BSTR *>(copy->pvData);
    for (int k = 0; k < 6; ++k) {
        if (k == 4) {
            EXPECT_EQ(copied[k], nullptr);
            continue;
        }
        ASSERT_NE(copied[k], nullptr);
        EXPECT_NE(copied[k], data[k]);
        ASSERT_EQ(SysStringLen(copied[k]), SysStringLen(data[k]));
        EXPECT_EQ(std::memcmp(copied[k], data[k], SysStringByteLen(data[k])), 0);
    }
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

TEST(SafeArrayOwnership, InterfacesAreCountedByCopyAndReleasedByDestroy)
{
    CountingUnknown object;
    SAFEARRAY *psa = create(VT_UNKNOWN, {{2, 0}, {2, 0}});
    ASSERT_NE(psa, nullptr);
    auto *data = static_cast<IUnknown **>(psa->pvData);
    for (int k = 0; k < 3; ++k) {
        object.AddRef();
        data[k] = &object;
    }
    EXPECT_EQ(object.references, 4u);
    SAFEARRAY *copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    EXPECT_EQ(object.references, 7u);
    EXPECT_EQ(static_cast<IUnknown **>(copy->pvData)[3], nullptr);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(object.references, 4u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(object.references, 1u);
}

TEST(SafeArrayOwnership, VariantElementsAreCopiedAndClearedDeeply)
{
    CountingUnknown object;
    SAFEARRAY *psa = create(VT_VARIANT, {{3, 0}});
    ASSERT_NE(psa, nullptr);
    auto *data = static_cast<VARIANT *>(psa->pvData);
    EXPECT_EQ(data[0].vt, VT_EMPTY);
    data[0].vt = VT_BSTR;
    data[0].bstrVal = SysAllocString(u"text");
    data[1].vt = VT_UNKNOWN;
    data[1].punkVal = &object;
    object.AddRef();
    data[2].vt = VT_ARRAY | VT_R8;
    data[2].parray = SafeArrayCreateVector(VT_R8, 0, 4);

    SAFEARRAY *copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    const auto *copied = static_cast<VARIANT *>(copy->pvData);
    EXPECT_EQ(copied[0].vt, VT_BSTR);
    EXPECT_NE(copied[0].bstrVal, data[0].bstrVal);
    EXPECT_EQ(copied[1].punkVal, &object);
    EXPECT_EQ(object.references, 3u);
    EXPECT_NE(copied[2].parray, data[2].parray);
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetUBound(copied[2].parray, 1, &upper), S_OK);
    EXPECT_EQ(upper, 3);

    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(object.references, 1u);
}
