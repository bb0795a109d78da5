// Automation safe arrays as the matrix call reads and writes them: element
// counts by dimension number, data locked for a scope, and new double arrays
// with lower bound 1 handed to a caller's variant.
#pragma once

#include <windows.h>

namespace morvane {

// Element count of dimension (numbered from 1, dimension 1 varying fastest in
// memory). The descriptor stores the bounds of the last dimension first.
inline ULONG matrix_elements(const SAFEARRAY &array, UINT dimension)
{
    return array.rgsabound[array.cDims - dimension].cElements;
}

// The array's element block, locked for the lifetime of this object.
class LockedData {
public:
    explicit LockedData(SAFEARRAY *array);
    ~LockedData();
    LockedData(const LockedData &) = delete;
    LockedData &operator=(const LockedData &) = delete;

    // Null when the array could not be locked or holds no element block.
    template <typename T>
    T *get() const
    {
        return static_cast<T *>(data_);
    }

private:
    SAFEARRAY *array_;
    void *data_ = nullptr;
};

// A new array of doubles with the given element counts, dimension 1 first,
// every lower bound 1; null when it cannot be created.
SAFEARRAY *create_double_matrix(UINT dimensions, const ULONG *counts);

// create_double_matrix, then fill(cells) on its locked element block when it
// has elements; null when the array cannot be created or reached.
template <typename Fill>
SAFEARRAY *filled_double_matrix(UINT dimensions, const ULONG *counts, Fill fill)
{
    SAFEARRAY *matrix = create_double_matrix(dimensions, counts);
    if (!matrix)
        return nullptr;
    bool empty = false;
    for (UINT i = 0; i < dimensions; ++i)
        empty = empty || counts[i] == 0;
    if (empty)
        return matrix;
    bool filled = false;
    {
        const LockedData cells(matrix);
        if (double *out = cells.get<double>()) {
            fill(out);
            filled = true;
        }
    }
    if (!filled) {
        SafeArrayDestroy(matrix);
        return nullptr;
    }
    return matrix;
}

// Releases what target held and makes it own array as VT_ARRAY | VT_R8.
void hand_over(VARIANT *target, SAFEARRAY *array);

} // namespace morvane
