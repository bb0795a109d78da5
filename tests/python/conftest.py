"""Shared fixtures: the tracker object, textured frames and the component's direct call."""

from __future__ import annotations

import ctypes

import numpy as np
import pytest

import morvane
from morvane._interface import member
from morvane._types import GUID

IID_DIRECT = GUID.parse("{4D861AE9-9CF0-4A2E-AA67-89CD7063B59A}")


@pytest.fixture
def tracker_object():
    with morvane.Dispatch("Morvane.CoMorvane") as created:
        yield created


def textured_frame(lines: int, columns: int, dx: float = 0.0, dy: float = 0.0) -> np.ndarray:
    """A smooth texture whose content is moved by (dx, dy) pixels."""
    y, x = np.mgrid[0:lines, 0:columns].astype(np.float64)
    x, y = x - dx, y - dy
    grey = 128 + 55 * np.sin(0.21 * x + 0.11 * y) + 45 * np.cos(0.07 * x - 0.17 * y) + 20 * np.sin(0.05 * x * y / 40)
    return np.clip(np.rint(grey), 0, 255).astype(np.uint8)


def grid_points(lines: int, columns: int, count: int) -> np.ndarray:
    """count points spread over the inner part of a frame, at fractional positions."""
    side = int(np.ceil(np.sqrt(count)))
    xs = np.linspace(0.15 * columns, 0.85 * columns, side) + 0.3
    ys = np.linspace(0.15 * lines, 0.85 * lines, side) + 0.6
    return np.array([(x, y) for y in ys for x in xs][:count], dtype=np.float64)


def direct_track(tracker: morvane.DispatchObject, frame_a, frame_b, points, residues: bool):
    """The same tracking through the component's direct call (_IMorvane slot 3), as float32."""
    direct = tracker._reference.query(IID_DIRECT)
    try:
        n, p = len(points), ctypes.c_void_p
        start = np.ascontiguousarray(points, dtype=np.float32)
        found_at, status, residue = np.zeros((n, 2), np.float32), np.zeros(n, np.uint8), np.zeros(n, np.float32)
        call = member(direct.pointer, 3, ctypes.c_int32, p, p, ctypes.c_int32, p, p, p, p)
        assert call(direct.pointer, frame_a.ctypes.data, frame_b.ctypes.data, n, start.ctypes.data,
                    found_at.ctypes.data, status.ctypes.data, residue.ctypes.data if residues else None) == 0
        return found_at, status != 0, residue if residues else None
    finally:
        direct.release()
