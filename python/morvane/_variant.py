"""Python values to variants and back.

Scalars: int (32-bit), float, bool, str, None. Arrays: numpy arrays of 1 or 2
dimensions of uint8, int32, float32 or float64 become safe arrays of the same
element type whose element (i, j) is the array's: dimension 1 is numpy axis 0,
so the column-major element block is the array in Fortran order. A Fortran-
ordered array is passed in place; any other is converted once into a new array.
"""

from __future__ import annotations

import ctypes
import numpy as np

from . import _types as t
from ._interface import Reference
from ._platform import platform
from ._strings import bstr_from, text_of, utf16

_ELEMENT_TYPES = {
    np.dtype(np.uint8): t.VT_UI1,
    np.dtype(np.int32): t.VT_I4,
    np.dtype(np.float32): t.VT_R4,
    np.dtype(np.float64): t.VT_R8,
}
_DTYPES = {vt: dtype for dtype, vt in _ELEMENT_TYPES.items()}

# Scalars read straight from the value field.
_SCALARS = {
    t.VT_I1: ctypes.c_int8,
    t.VT_UI1: ctypes.c_uint8,
    t.VT_I2: ctypes.c_int16,
    t.VT_UI2: ctypes.c_uint16,
    t.VT_I4: ctypes.c_int32,
    t.VT_UI4: ctypes.c_uint32,
    t.VT_INT: ctypes.c_int32,
    t.VT_UINT: ctypes.c_uint32,
    t.VT_I8: ctypes.c_int64,
    t.VT_UI8: ctypes.c_uint64,
    t.VT_R4: ctypes.c_float,
    t.VT_R8: ctypes.c_double,
    t.VT_ERROR: ctypes.c_int32,
}
_VALUE_OFFSET = t.VARIANT.value.offset
_BOUNDS_OFFSET = t.SAFEARRAY.rgsabound.offset
_INT32_RANGE = range(-(2**31), 2**31)


def check_array(array: np.ndarray, name: str) -> int:
    """The element type for array, or TypeError naming the argument."""
    element = _ELEMENT_TYPES.get(array.dtype)
    if element is None:
        raise TypeError(f"{name}: arrays of {array.dtype} cannot be passed (uint8, int32, float32 or float64)")
    if array.ndim not in (1, 2):
        raise TypeError(f"{name}: arrays of {array.ndim} dimensions cannot be passed (1 or 2)")
    return element


def check_value(value: object, name: str) -> object:
    """value as it will be passed (a string as its UTF-16 bytes), or TypeError,
    OverflowError or ValueError naming the argument."""
    if isinstance(value, np.generic):
        value = value.item()
    if isinstance(value, str):
        return utf16(value, name)
    if value is None or isinstance(value, (bool, float)):
        return value
    if isinstance(value, int):
        if value not in _INT32_RANGE:
            raise OverflowError(f"{name}: {value} is outside the 32-bit range")
        return value
    if isinstance(value, np.ndarray):
        check_array(value, name)
        return value
    raise TypeError(f"{name}: a {type(value).__name__} cannot be passed")


def fill(target: t.VARIANT, value: object) -> object:
    """Stores a value checked by check_value in an empty variant.

    The variant owns what it holds, except for an aligned Fortran-ordered array:
    its element block already has the safe-array layout, so the variant gets a
    caller-storage safe array over the array's own memory. The returned object
    keeps that descriptor and the array alive; hold it until the variant is cleared.
    """
    if value is None:
        return None
    if isinstance(value, bool):
        target.boolVal = -1 if value else 0
        target.vt = t.VT_BOOL
    elif isinstance(value, int):
        target.lVal = value
        target.vt = t.VT_I4
    elif isinstance(value, float):
        target.dblVal = value
        target.vt = t.VT_R8
    elif isinstance(value, bytes):
        target.pointer = bstr_from(value)
        target.vt = t.VT_BSTR
    else:
        element = check_array(value, "value")
        if max(value.shape) >= 2**31:
            raise OverflowError(f"an array of shape {value.shape} is too large to pass")
        if value.flags.f_contiguous and value.flags.aligned:
            kept = (_borrowed(value), value)
            target.pointer = ctypes.addressof(kept[0])
        else:
            kept = None
            target.pointer = _safe_array_from(value, element)
        target.vt = t.VT_ARRAY | element
        return kept
    return None


_BOUNDS = {dimensions: t.SAFEARRAYBOUND * dimensions for dimensions in range(3)}

# Descriptors with their bounds (last dimension first) in memory of this process.
_DESCRIPTORS = {
    dimensions: type(
        "SAFEARRAY%d" % dimensions,
        (ctypes.Structure,),
        {"_fields_": t.SAFEARRAY._fields_[:-1] + [("rgsabound", _BOUNDS[dimensions])]},
    )
    for dimensions in (1, 2)
}
# The runtime neither frees nor resizes arrays whose storage is the caller's.
_CALLER_STORAGE = 0x0001 | 0x0010  # FADF_AUTO | FADF_FIXEDSIZE


def _borrowed(array: np.ndarray) -> ctypes.Structure:
    descriptor = _DESCRIPTORS[array.ndim]()
    descriptor.cDims = array.ndim
    descriptor.fFeatures = _CALLER_STORAGE
    descriptor.cbElements = array.itemsize
    descriptor.pvData = array.ctypes.data
    for bound, extent in zip(descriptor.rgsabound, reversed(array.shape)):
        bound.cElements = extent
    return descriptor


def _safe_array_from(array: np.ndarray, element: int) -> int:
    shape = array.shape
    bounds = _BOUNDS[len(shape)]()
    for bound, extent in zip(bounds, shape):
        bound.cElements = extent
    made = platform.SafeArrayCreate(element, len(shape), bounds)
    if not made:
        raise MemoryError(f"no memory for an array of shape {shape}")
    if array.size:
        # The new array is this caller's alone: its block is written without a lock.
        np.asarray(_Block(t.SAFEARRAY.from_address(made).pvData, shape, array.dtype))[...] = array
    return made


class _Block:
    """A column-major element block at an address, seen by numpy without a copy."""

    __slots__ = ("__array_interface__",)

    def __init__(self, address: int, shape: tuple, dtype: np.dtype) -> None:
        strides = (dtype.itemsize, dtype.itemsize * shape[0])[: len(shape)]
        self.__array_interface__ = {
            "version": 3,
            "data": (address, False),
            "shape": shape,
            "typestr": dtype.str,
            "strides": strides,
        }


def take(source: t.VARIANT) -> object:
    """The value of a variant as a Python value, an object as a Reference; the variant is cleared."""
    vt = source.vt
    if vt == t.VT_I4:  # the common case, which owns nothing
        source.vt = t.VT_EMPTY
        return source.lVal
    try:
        if vt & t.VT_ARRAY:
            return _array_of(source)
        if vt in (t.VT_EMPTY, t.VT_NULL):
            return None
        if vt == t.VT_BOOL:
            return source.boolVal != 0
        if vt == t.VT_BSTR:
            return text_of(source.pointer)
        if vt == t.VT_DISPATCH:  # the reference passes to the caller, which makes the proxy
            pointer, source.pointer = source.pointer, None
            source.vt = t.VT_EMPTY
            return Reference(pointer) if pointer else None
        scalar = _SCALARS.get(vt)
        if scalar is None:
            raise TypeError(f"a variant of type 0x{vt:04X} has no Python value")
        return scalar.from_address(ctypes.addressof(source) + _VALUE_OFFSET).value
    finally:
        platform.VariantClear(ctypes.byref(source))


def _array_of(source: t.VARIANT) -> np.ndarray:
    dtype = _DTYPES.get(source.vt & ~t.VT_ARRAY)
    if dtype is None or not source.pointer:
        raise TypeError(f"a variant of type 0x{source.vt:04X} has no Python value")
    descriptor = t.SAFEARRAY.from_address(source.pointer)
    dimensions = descriptor.cDims
    if dimensions not in _BOUNDS:
        raise TypeError(f"a safe array of {dimensions} dimensions has no Python value")
    stored = _BOUNDS[dimensions].from_address(source.pointer + _BOUNDS_OFFSET)
    result = np.empty([bound.cElements for bound in reversed(stored)], dtype, order="F")
    if result.size:
        ctypes.memmove(result.ctypes.data, descriptor.pvData, result.nbytes)
    return result
