// Safe-array helpers of the matrix call: locking data for a scope, new double matrices,
// and handing an array to a caller's variant.
#include "automation_matrix.h"

namespace morvane {

LockedData::LockedData(SAFEARRAY *array) : array_(array)
{
    if (FAILED(SafeArrayAccessData(array, &data_))) {
        array_ = nullptr;
        data_ = nullptr;
    }
}

LockedData::~LockedData()
{
    if (array_)
        SafeArrayUnaccessData(array_);
}

SAFEARRAY *create_double_matrix(UINT dimensions, const ULONG *counts)
{
    SAFEARRAYBOUND bounds[2];
    if (dimensions < 1 || dimensions > 2)
        return nullptr;
    for (UINT i = 0; i < dimensions; ++i)
        bounds[i] = SAFEARRAYBOUND{counts[i], 1};
    return SafeArrayCreate(VT_R8, dimensions, bounds);
}

void hand_over(VARIANT *target, SAFEARRAY *array)
{
    VariantClear(target);
    target->vt = VT_ARRAY | VT_R8;
    target->parray = array;
}

} // namespace morvane
