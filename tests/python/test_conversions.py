"""Python values to variants and back, through the runtime's variants and safe arrays."""

from __future__ import annotations

import numpy as np
import pytest

from morvane import _variant
from morvane._dispatch import wrap
from morvane._interface import ADD_REF
from morvane._types import VARIANT


def round_trip(value):
    held = VARIANT()
    kept = _variant.fill(held, _variant.check_value(value, "value"))  # alive until taken back
    return held.vt, _variant.take(held), held.vt  # the type stored, the value, the type after


@pytest.mark.parametrize("value, vt", [
    (None, 0), (0, 3), (2**31 - 1, 3), (-(2**31), 3), (True, 11), (False, 11), (0.1, 5),
    (float("inf"), 5), ("", 8), ("Grüße, 世界 🙂", 8), (np.float32(0.5), 5), (np.int16(-3), 3), (np.bool_(True), 11),
])
def test_scalars_round_trip(value, vt):
    stored, back, after = round_trip(value)
    assert (stored, back, type(back), after) == (vt, value, type(value.item() if isinstance(value, np.generic)
                                                                  else value), 0)


@pytest.mark.parametrize("shape", [(0, 5), (5, 0), (1, 1), (7,), (3, 4), (1000, 700)])
@pytest.mark.parametrize("dtype, vt", [(np.uint8, 0x2011), (np.int32, 0x2003), (np.float32, 0x2004), (np.float64, 0x2005)])
def test_arrays_and_strided_views_round_trip(shape, dtype, vt):
    array = (np.arange(np.prod(shape)).reshape(shape) % 251).astype(dtype)
    for given in (array, np.asfortranarray(array), array[::-1], array.T, array[..., 1::2]):
        stored, back, after = round_trip(given)
        assert (stored, after, back.dtype, back.shape, back.flags.owndata) == (vt, 0, np.dtype(dtype), given.shape, True)
        assert np.array_equal(back, given)


# The other refusals are met through the tracker's members in test_dispatch.
@pytest.mark.parametrize("value, error, message", [
    (np.array(1.0), TypeError, "^x: arrays of 0 dimensions cannot be passed"),
    (-(2**31) - 1, OverflowError, "^x: -2147483649 is outside the 32-bit range"),
])
def test_unsupported_values_are_refused(value, error, message):
    with pytest.raises(error, match=message):
        _variant.check_value(value, "x")


def test_objects_come_back_as_references_and_other_variants_are_refused(tracker_object):
    ADD_REF(tracker_object._reference.pointer)  # the variant's reference
    held = VARIANT()
    held.vt, held.pointer = 9, tracker_object._reference.pointer
    back = wrap(_variant.take(held))
    assert (held.vt, back.lines, type(back).__name__) == (0, 144, "IMorvane")
    back.close()
    assert tracker_object.lines == 144
    held.vt = 0x400C  # a reference to a variant
    with pytest.raises(TypeError, match="^a variant of type 0x400C has no Python value$"):
        _variant.take(held)
