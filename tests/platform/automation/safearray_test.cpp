// Safe arrays: dimension order, layout, element types, locks, ownership and refusals.
#include "counting_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

// Bounds as the caller lists them: dimension 1 first.
SAFEARRAY *create(VARTYPE vt, std::vector<SAFEARRAYBOUND> bounds)
{
    return SafeArrayCreate(vt, static_cast<UINT>(bounds.size()), bounds.data());
}

LONG bound(SAFEARRAY *psa, UINT dimension, bool upper)
{
    LONG value = 99;
    EXPECT_EQ(upper ? SafeArrayGetUBound(psa, dimension, &value) : SafeArrayGetLBound(psa, dimension, &value), S_OK);
    return value;
}

TEST(SafeArray, BoundsAreStoredLastDimensionFirstAndDataIsZeroedAndCopiedWhole)
{
    // Dimension 1: 3 columns from 1; dimension 2: 2 lines from -4.
    SAFEARRAY *psa = create(VT_R8, {{3, 1}, {2, -4}});
    EXPECT_EQ(SafeArrayGetDim(psa), 2u);
    EXPECT_EQ(std::tuple(bound(psa, 1, false), bound(psa, 1, true), bound(psa, 2, false), bound(psa, 2, true)),
              std::tuple(1, 3, -4, -3));
    double *data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void **>(&data)), S_OK);
    EXPECT_TRUE(std::all_of(data, data + 6, [](double d) { return d == 0.0; }));
    std::iota(data, data + 6, 1.0);
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    SAFEARRAY *copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    EXPECT_NE(copy->pvData, psa->pvData);
    EXPECT_EQ(std::memcmp(copy->pvData, psa->pvData, 6 * sizeof(double)), 0);
    EXPECT_EQ(copy->rgsabound[1].cElements, 3u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    // Vectors: the upper bound at both ends of its range, and an empty one.
    for (const auto &[lower, count, upper] : {std::tuple(-5, 10u, 4), std::tuple(1, 0u, 0),
                                              std::tuple(INT32_MAX, 1u, INT32_MAX)}) {
        psa = SafeArrayCreateVector(VT_UI1, lower, count);
        EXPECT_EQ(bound(psa, 1, true), upper);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
}

TEST(SafeArray, ElementSizesFlagsAndStoredType)
{
    const USHORT have_type = FADF_HAVEVARTYPE;
    const std::tuple<VARTYPE, ULONG, USHORT> cases[] = {
        {VT_I1, 1, have_type}, {VT_BOOL, 2, have_type}, {VT_UI2, 2, have_type}, {VT_INT, 4, have_type},
        {VT_R4, 4, have_type}, {VT_ERROR, 4, have_type}, {VT_UI8, 8, have_type}, {VT_CY, 8, have_type},
        {VT_DATE, 8, have_type}, {VT_DECIMAL, 16, have_type}, {VT_BSTR, 8, FADF_BSTR | have_type},
        {VT_VARIANT, 24, FADF_VARIANT | have_type}, {VT_UNKNOWN, 8, FADF_UNKNOWN | FADF_HAVEIID},
        {VT_DISPATCH, 8, FADF_DISPATCH | FADF_HAVEIID},
    };
    for (const auto &[vt, size, features] : cases) {
        SAFEARRAY *psa = create(vt, {{2, 0}}), *copy = nullptr; // a copy keeps the element type
        ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK) << vt;
        VARTYPE stored = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(copy, &stored), S_OK);
        EXPECT_EQ(std::tuple(SafeArrayGetElemsize(psa), psa->fFeatures, stored), std::tuple(size, features, vt));
        EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    }
}

TEST(SafeArray, RefusedShapesTypesAndArguments)
{
    for (VARTYPE vt : {VARTYPE(VT_EMPTY), VARTYPE(VT_NULL), VARTYPE(VT_RECORD), VARTYPE(VT_VOID), VARTYPE(VT_PTR),
                       VARTYPE(VT_LPSTR), VARTYPE(0xFFF), VARTYPE(VT_I4 | VT_BYREF), VARTYPE(VT_I4 | VT_ARRAY)})
        EXPECT_EQ(create(vt, {{2, 0}}), nullptr) << vt;
    SAFEARRAYBOUND one = {1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &one), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    // Each would wrap to a small block if the size were computed in 32 or 64 bits unchecked.
    EXPECT_EQ(create(VT_R8, {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}}), nullptr);
    EXPECT_EQ(create(VT_UI1, {{0x80000000u, 0}, {0x80000000u, 0}, {4, 0}}), nullptr); // exactly 2^64 bytes
    EXPECT_EQ(create(VT_I2, {{0x80000000u, 0}, {0x80000000u, 0}}), nullptr);          // 2^63 bytes
    EXPECT_EQ(create(VT_UI1, {{2, INT32_MAX}}), nullptr); // upper bound not representable
    EXPECT_EQ(create(VT_UI1, {{0xFFFFFFFFu, 1}}), nullptr);

    SAFEARRAY *psa = create(VT_UI1, {{4, 0}, {4, 0}}), *copy = psa;
    LONG value = 99;
    void *data = nullptr;
    VARTYPE vt;
    const std::pair<HRESULT, HRESULT> calls[] = {
        {SafeArrayGetLBound(psa, 0, &value), DISP_E_BADINDEX}, {SafeArrayGetUBound(psa, 3, &value), DISP_E_BADINDEX},
        {SafeArrayGetLBound(psa, 1, nullptr), E_INVALIDARG}, {SafeArrayGetUBound(nullptr, 1, &value), E_INVALIDARG},
        {SafeArrayAccessData(psa, nullptr), E_INVALIDARG}, {SafeArrayAccessData(nullptr, &data), E_INVALIDARG},
        {SafeArrayLock(nullptr), E_INVALIDARG}, {SafeArrayUnlock(nullptr), E_INVALIDARG},
        {SafeArrayGetVartype(psa, nullptr), E_INVALIDARG}, {SafeArrayGetVartype(nullptr, &vt), E_INVALIDARG},
        {SafeArrayCopy(psa, nullptr), E_INVALIDARG}, {SafeArrayCopy(nullptr, &copy), S_OK},
        {SafeArrayDestroy(nullptr), S_OK}, {SafeArrayUnaccessData(psa), E_UNEXPECTED},
    };
    for (const auto &call : calls)
        EXPECT_EQ(call.first, call.second) << "row " << &call - calls;
    EXPECT_EQ(value, 99);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(SafeArrayGetDim(nullptr) + SafeArrayGetElemsize(nullptr), 0u);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, LocksAreCountedAndALockedArrayIsNotDestroyed)
{
    SAFEARRAY *psa = create(VT_BSTR, {{2, 0}});
    EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayLock(psa), S_OK);
    BSTR *data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void **>(&data)), S_OK);
    EXPECT_EQ(psa->cLocks, 2u);
    data[0] = SysAllocString(u"kept");
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SysStringLen(data[0]), 4u) << "still whole and usable";
    SAFEARRAY *copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    EXPECT_EQ(copy->cLocks, 0u);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

// Elements are copied deeply and released (the sanitizer build reports leaks and double frees).
TEST(SafeArray, ElementsAreCopiedDeeplyAndReleasedWithTheArray)
{
    CountingUnknown object;
    SAFEARRAY *arrays[] = {create(VT_BSTR, {{3, 0}, {2, 0}}), create(VT_UNKNOWN, {{2, 0}, {2, 0}}),
                           create(VT_VARIANT, {{3, 0}})};
    auto *text = static_cast<BSTR *>(arrays[0]->pvData);
    for (int k = 0; k < 5; ++k) // the last element stays null in the copy
        text[k] = SysAllocStringLen(u"ab\0cd", static_cast<UINT>(k + 1));
    for (int k = 0; k < 3; ++k)
        static_cast<IUnknown **>(arrays[1]->pvData)[k] = (object.AddRef(), &object);
    auto *data = static_cast<VARIANT *>(arrays[2]->pvData);
    EXPECT_EQ(data[0].vt, VT_EMPTY);
    data[0].vt = VT_BSTR;
    data[0].bstrVal = SysAllocString(u"text");
    data[1].vt = VT_UNKNOWN;
    data[1].punkVal = (object.AddRef(), &object);
    data[2].vt = VT_ARRAY | VT_R8;
    data[2].parray = SafeArrayCreateVector(VT_R8, 0, 4);
    SAFEARRAY *copies[3] = {};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(SafeArrayCopy(arrays[i], &copies[i]), S_OK) << i;
    EXPECT_EQ(object.references, 9u) << "one, three and one held by each array";

    auto *copied = static_cast<BSTR *>(copies[0]->pvData);
    for (int k = 0; k < 5; ++k) {
        EXPECT_NE(copied[k], text[k]);
        EXPECT_EQ(std::u16string_view(copied[k], SysStringLen(copied[k])), std::u16string_view(u"ab\0cd", k + 1));
    }
    EXPECT_EQ(copied[5], nullptr);
    const auto *copied_variants = static_cast<VARIANT *>(copies[2]->pvData);
    EXPECT_NE(copied_variants[0].bstrVal, data[0].bstrVal);
    EXPECT_NE(copied_variants[2].parray, data[2].parray);
    EXPECT_EQ(bound(copied_variants[2].parray, 1, true), 3);
    for (SAFEARRAY *psa : {arrays[0], arrays[1], arrays[2], copies[0], copies[1], copies[2]})
        EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(object.references, 1u);
}

} // namespace
