"""The numpy tracker: results equal to the direct call's, refusals, memory."""

from __future__ import annotations

import ctypes
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import morvane
from morvane._interface import member
from morvane._types import GUID

IID_DIRECT = GUID.parse("{4D861AE9-9CF0-4A2E-AA67-89CD7063B59A}")


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


def moved_texture():
    return textured_frame(240, 320), textured_frame(240, 320, 2.6, -1.7)


@pytest.mark.parametrize("levels, half_window, residues", [(0, (2, 2), True), (2, (7, 4), False)])
def test_results_equal_the_direct_call(levels, half_window, residues):
    frame_a, frame_b = moved_texture()
    points = grid_points(*frame_a.shape, 100).astype(np.float32).astype(np.float64)
    with morvane.Tracker(frame_a.shape, half_window=half_window, levels=levels, residues=residues) as tracker:
        result = tracker.track(frame_a, frame_b, points)
        expected_points, expected_found, expected_residues = direct_track(
            tracker._object, frame_a, frame_b, points, residues)
    assert np.array_equal(result.points.astype(np.float32), expected_points)
    assert result.found.dtype == np.bool_ and np.array_equal(result.found, expected_found)
    assert result.found.sum() > 90
    assert (result.residues is None) if not residues else (
        result.residues.dtype == np.float32 and np.array_equal(result.residues, expected_residues))


def test_settings_changes_rebuild_the_buffers():
    frame_a, frame_b = moved_texture()
    with morvane.Tracker(frame_a.shape, max_features=4, residues=True) as tracker:
        assert len(tracker.track(frame_a, frame_b, grid_points(240, 320, 4)).points) == 4
        tracker.max_features, tracker.residues = 9, False
        result = tracker.track(frame_a, frame_b, grid_points(240, 320, 9))
        assert (len(result.points), result.residues) == (9, None)
        result = tracker.track(frame_a, frame_b, np.empty((0, 2)))
        assert (result.points.shape, result.found.shape) == ((0, 2), (0,))


def test_refused_settings_raise_at_once_or_at_the_first_track():
    with pytest.raises(morvane.ComError, match="^stop_iterations: Number of iterations must be a positive integer"):
        morvane.Tracker((240, 320), iterations=0)
    with morvane.Tracker((240, 320), levels=5) as tracker, pytest.raises(
            morvane.ComError, match=r"^create_morvane: Image dimension .* decimation\. \(E_FAIL 0x80004005\)$"):
        tracker.track(*moved_texture(), grid_points(240, 320, 4))


class MallocInfo(ctypes.Structure):
    """glibc's mallinfo2 record, in bytes."""

    _fields_ = [(name, ctypes.c_size_t) for name in (
        "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks", "keepcost")]


def heap_in_use() -> int:
    """Bytes the C heap has handed out, however much of it was free and resident before."""
    mallinfo2 = ctypes.CDLL(None).mallinfo2
    mallinfo2.restype = MallocInfo
    info = mallinfo2()
    return info.uordblks + info.hblkhd


def test_memory_stays_flat_over_many_calls():
    frame_a, frame_b, points = textured_frame(16, 16), textured_frame(16, 16, 0.5, 0.25), np.array([[7.5, 8.25]])
    with morvane.Tracker(frame_a.shape, residues=True) as tracker:
        def in_use_after(rounds: int) -> int:
            for _ in range(rounds):
                tracker.track(frame_a, frame_b, points)
                tracker.iterations = 5
                with pytest.raises(morvane.ComError):
                    tracker.levels = -1
            return heap_in_use()
        before = in_use_after(2_000)
        grown = in_use_after(25_000) - before  # five calls a round: over 10^5 in all
    assert grown < 2**18, f"the heap grew by {grown} bytes"


def test_the_example_reports_the_sample_motion():
    example = Path(__file__).resolve().parents[2] / "examples" / "track_samples.py"
    shown = subprocess.run([sys.executable, str(example), os.environ["MORVANE_TEST_SAMPLES"]],
                           capture_output=True, text=True, check=True)
    lines = shown.stdout.splitlines()
    assert (len(lines), lines[-1]) == (37, "motion: (+1.43, -0.87) pixels, found 35 of 35 points")
