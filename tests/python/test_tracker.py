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
from conftest import direct_track, grid_points, textured_frame


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
        tracker.max_features = 9
        tracker.residues = False
        result = tracker.track(frame_a, frame_b, grid_points(240, 320, 9))
        assert (len(result.points), result.residues) == (9, None)
        result = tracker.track(frame_a, frame_b, np.empty((0, 2)))
        assert (result.points.shape, result.found.shape) == ((0, 2), (0,))


@pytest.mark.parametrize("change, message", [
    (lambda a, b, p: (a, b.astype(np.float32), p), "Invalid Data Type"),
    (lambda a, b, p: (a, b, np.zeros((4, 3))), "Feature matrix: invalid format"),
])
def test_refusals_carry_the_component_messages(change, message):
    frame_a, frame_b = moved_texture()
    with morvane.Tracker(frame_a.shape, max_features=4) as tracker:
        with pytest.raises(morvane.ComError) as caught:
            tracker.track(*change(frame_a, frame_b, grid_points(240, 320, 4)))
    assert str(caught.value) == f"track_corners: {message} (E_INVALIDARG 0x80070057)"


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
