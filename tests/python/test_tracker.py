"""The numpy tracker: a plain OpenCV call's results on frames of any size, points as
OpenCV gives them, refusals as Python errors, memory."""

from __future__ import annotations

import ctypes
import os
import subprocess
import sys
from pathlib import Path

import cv2
import numpy as np
import pytest

import morvane


def textured_frame(lines: int, columns: int, dx: float = 0.0, dy: float = 0.0) -> np.ndarray:
    """A smooth texture whose content is moved by (dx, dy) pixels."""
    y, x = np.mgrid[0:lines, 0:columns].astype(np.float64)
    x, y = x - dx, y - dy
    grey = 128 + 55 * np.sin(0.21 * x + 0.11 * y) + 45 * np.cos(0.07 * x - 0.17 * y) + 20 * np.sin(0.05 * x * y / 40)
    return np.clip(np.rint(grey), 0, 255).astype(np.uint8)


def moved_texture(shape: tuple[int, int]) -> tuple[np.ndarray, np.ndarray]:
    return textured_frame(*shape), textured_frame(*shape, 2.6, -1.7)


def grid_points(lines: int, columns: int, step: float) -> np.ndarray:
    """Points over the whole frame, the last ones by its right and bottom edges, at fractional positions."""
    ys, xs = np.meshgrid(np.append(np.arange(2.6, lines - 1, step), lines - 1.5),
                         np.append(np.arange(1.3, columns - 1, step), columns - 1.5), indexing="ij")
    return np.column_stack([xs.ravel(), ys.ravel()])


# OpenCV's defaults are the tracker's: 21 x 21, 3 levels, 30 iterations, epsilon 0.01.
@pytest.mark.parametrize("shape, settings", [
    ((240, 320), {}),                                                  # no padding
    ((301, 403), {}),                                                  # padded to 304 x 408
    ((199, 147), {"half_window": (4, 3), "levels": 2, "iterations": 9, "epsilon": 0.05}),  # 200 x 148
    ((97, 130), {"half_window": (2, 2), "levels": 0}),                 # no pyramid, no padding
])
def test_results_are_a_plain_opencv_calls_away_from_the_padding(shape, settings):
    (frame_a, frame_b), points = moved_texture(shape), grid_points(*shape, 9.7)
    with morvane.Tracker(shape, residues=True, max_features=len(points), **settings) as tracker:
        result = tracker.track(frame_a, frame_b, points)
        half_window, levels = tracker.half_window, tracker.levels
    window = (2 * half_window[0] + 1, 2 * half_window[1] + 1)
    criteria = (cv2.TERM_CRITERIA_COUNT | cv2.TERM_CRITERIA_EPS, settings.get("iterations", 30),
                settings.get("epsilon", 0.01))

    def opencv(first: np.ndarray, second: np.ndarray):
        moved, status, residues = cv2.calcOpticalFlowPyrLK(first, second, points.astype(np.float32), None,
                                                           winSize=window, maxLevel=levels, criteria=criteria)
        return moved, status.ravel() != 0, residues.ravel()

    moved, found, residues = opencv(frame_a, frame_b)
    margin = 2**levels * max(window)
    far = (points[:, 0] < shape[1] - margin) & (points[:, 1] < shape[0] - margin)
    assert found[far].sum() >= 20
    assert np.abs(result.points - moved)[far].max() <= 1e-4
    assert np.array_equal(result.found[far], found[far])
    assert np.abs(result.residues - residues)[far & found].max() <= 1e-4  # none where not found
    # Everywhere, the results are OpenCV's on the frames padded as morvane-track pads them, but
    # that points by the right edge move into the padding, if there is one, and are never found there.
    padded = morvane.padded_shape(shape, levels)
    moved, found, _ = opencv(*(cv2.copyMakeBorder(frame, 0, padded[0] - shape[0], 0, padded[1] - shape[1],
                                                  cv2.BORDER_REPLICATE) for frame in (frame_a, frame_b)))
    in_padding = (result.points[:, 0] > shape[1] - 1) & (padded[1] > shape[1]) | (
        result.points[:, 1] > shape[0] - 1) & (padded[0] > shape[0])
    assert in_padding.any() == (padded != shape) and np.array_equal(result.found, found & ~in_padding)
    assert np.abs(result.points - moved).max() <= 1e-4


@pytest.mark.parametrize("form", [
    lambda p: p.tolist(),
    lambda p: p.astype(np.float32).reshape(-1, 1, 2),
    lambda p: p.astype(np.int16),
    lambda p: p.astype(np.uint16).reshape(-1, 1, 2),
    lambda p: p.astype(np.float16),
])
def test_points_come_as_opencv_gives_them_and_results_in_their_shape(form):
    (frame_a, frame_b), points = moved_texture((99, 131)), grid_points(99, 131, 11.0).round()
    with morvane.Tracker((99, 131), residues=True) as tracker:
        assert (tracker.half_window, tracker.levels, tracker.iterations, tracker.epsilon, tracker.max_features) == (
            (10, 10), 3, 30, np.float32(0.01), 400)
        expected = tracker.track(frame_a, frame_b, points)
        given = form(points)
        result = tracker.track(frame_a, frame_b, given)
        none = tracker.track(frame_a, frame_b, np.asarray(given)[:0])
    assert [a.shape[1:] for a in none] == [np.shape(given)[1:], np.shape(given)[1:-1], np.shape(given)[1:-1]]
    shape = np.shape(given)
    assert (result.points.shape, result.found.shape, result.residues.shape) == (shape, shape[:-1], shape[:-1])
    assert np.array_equal(result.points.reshape(-1, 2), expected.points)
    assert np.array_equal(result.found.ravel(), expected.found)
    assert np.array_equal(result.residues.ravel(), expected.residues)


# The rule's arithmetic is the sequence engine's; here, (lines, columns) order and the fall-back.
@pytest.mark.parametrize("shape, levels, padded", [((99, 131), 3, (104, 136)), ((99, 131), 31, (99, 131))])
def test_frames_are_padded_to_multiples_of_two_to_the_levels(shape, levels, padded):
    assert morvane.padded_shape(shape, levels) == padded


# Refused calls: (what is changed, kind, message). The tracker keeps working as before.
@pytest.mark.parametrize("change, kind, message", [
    (lambda t, a, b, p: t.track(a.astype(np.float32), b, p), TypeError,
     "track: Invalid Data Type: frame_a is float32, not uint8"),
    (lambda t, a, b, p: t.track(a, b[:, :-1], p), ValueError,
     r"track: Incompatible Image Size: frame_b is \(99, 130\), not \(99, 131\)"),
    (lambda t, a, b, p: t.track(a, b, p.astype(complex)), TypeError,
     "track: Invalid Data Type: points are complex128, not real numbers"),
    (lambda t, a, b, p: t.track(a, b, p[:, :1]), ValueError,
     r"track: Feature matrix: invalid format: points of shape \(130, 1\), not \(n, 2\) or \(n, 1, 2\)"),
    (lambda t, a, b, p: t.track(a, b, np.tile(p, (4, 1))), ValueError,
     "track_corners: Number of features exceeds limit"),
    (lambda t, a, b, p: setattr(t, "levels", 7), ValueError, "levels: 2\\*\\*7 is more than the frame's 99 lines"),
    (lambda t, a, b, p: setattr(t, "levels", -1), ValueError,
     "pyramid_levels: Number of pyramid levels should be a non negative integer"),
    (lambda t, a, b, p: setattr(t, "levels", 2.0), TypeError, "levels: takes integers, not float"),
    (lambda t, a, b, p: setattr(t, "frame_shape", (99,)), ValueError, r"frame_shape: takes \(lines, columns\)"),
    (lambda t, a, b, p: setattr(t, "frame_shape", (200, 0)), ValueError,
     "columns: Number of columns must be a positive integer"),
    (lambda t, a, b, p: setattr(t, "half_window", (3, 0)), ValueError,
     "feature_height: Feature window height must be a positive integer"),
])
def test_refusals_are_python_errors_and_change_nothing(change, kind, message):
    (frame_a, frame_b), points = moved_texture((99, 131)), grid_points(99, 131, 11.0)
    with morvane.Tracker((99, 131), residues=True, max_features=len(points) * 3) as tracker:
        before = tracker.track(frame_a, frame_b, points)
        with pytest.raises(kind, match="^" + message) as caught:
            change(tracker, frame_a, frame_b, points)
        assert isinstance(caught.value, morvane.ComError) and caught.value.hresult in (0x80070057, 0x80020005)
        after = tracker.track(frame_a, frame_b, points)
        tracker.levels = 6  # the deepest that leaves the 99 lines a pixel
        deepest = tracker.track(frame_a, frame_b, points)
    assert all(np.array_equal(x, y) for x, y in zip(before, after)) and deepest.found.sum() > 50


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
        grown = in_use_after(25_000) - before
    assert grown < 2**18, f"the heap grew by {grown} bytes"


def test_the_example_reports_the_sample_motion():
    example = Path(__file__).resolve().parents[2] / "examples" / "track_samples.py"
    shown = subprocess.run([sys.executable, str(example), os.environ["MORVANE_TEST_SAMPLES"]],
                           capture_output=True, text=True, check=True)
    lines = shown.stdout.splitlines()
    assert (len(lines), lines[-1]) == (37, "motion: (+1.43, -0.87) pixels, found 35 of 35 points")
