"""The Morvane tracker with numpy arrays: frames of any size in, points, found flags and residues out."""

from __future__ import annotations

import ctypes
import operator
from typing import NamedTuple

import numpy as np
from numpy.typing import ArrayLike

from . import sequence
from ._dispatch import Dispatch
from .errors import ComTypeError, ComValueError, ResultCode

PROG_ID = "Morvane.CoMorvane"


def padded_shape(shape: tuple[int, int], levels: int) -> tuple[int, int]:
    """The (lines, columns) that frames of shape are padded to for a pyramid of
    levels, by the sequence engine's rule: each rounded up to a multiple of
    2**levels, which the component needs. The shape itself where the rule has
    none (sides that are not positive, levels beyond 0 to 30), which the
    component then refuses with its own message.
    """
    try:
        return sequence.padded_shape(shape, levels)
    except (sequence.SequenceError, ctypes.ArgumentError):
        return tuple(shape)


class TrackResult(NamedTuple):
    """Where each point lies in the second frame, whether it was found, and its residue.

    ``points`` has the shape the points were given in ((n, 2) or (n, 1, 2)),
    float64 x, y; ``found`` and ``residues`` have that shape without its last
    axis ((n,) or (n, 1)), bool and float32; ``residues`` is None when the
    tracker computes none.
    """

    points: np.ndarray
    found: np.ndarray
    residues: np.ndarray | None


def _integer(value: object, what: str) -> int:
    try:
        return operator.index(value)
    except TypeError:
        raise ComTypeError(ResultCode.DISP_E_TYPEMISMATCH, "takes integers, not %s" % type(value).__name__,
                           member=what) from None


def _frame_shape(shape: object) -> tuple[int, int]:
    try:
        lines, columns = shape
    except (TypeError, ValueError):
        raise ComValueError(ResultCode.E_INVALIDARG, "takes (lines, columns), not %r" % (shape,),
                            member="frame_shape") from None
    return _integer(lines, "frame_shape"), _integer(columns, "frame_shape")


class Tracker:
    """A Morvane tracker for frames of one (lines, columns) shape, any shape.

    Parameters
    ----------
    frame_shape : (lines, columns) of the frames. Frames are padded on the right
        and bottom (their last column and line repeated) to multiples of
        2**levels, as the component needs; points found in the padding are
        reported as not found, and points farther than 2**levels full windows
        from the right and bottom edges get exactly the results of a plain
        OpenCV ``calcOpticalFlowPyrLK`` call on the frames themselves.
    half_window : half the search window's (width, height); the window is
        (2w + 1) x (2h + 1) pixels. Default (10, 10): 21 x 21.
    levels : pyramid levels above the frame itself (0: none). Default 3.
        2**levels may not exceed the frame's lines or columns.
    iterations, epsilon : the stop rule, whichever comes first. Default 30 and 0.01.
    residues : whether track() computes each point's match residue.
    max_features : the most points one track() call takes. Default 400.

    The defaults are those of ``morvane-track`` and of OpenCV, for real video;
    the component's own property defaults (5 x 5 window, no pyramid, 5
    iterations, epsilon 0.1) stay as they are for its other clients.

    Raises
    ------
    ComError
        when the component cannot be created or a setting is refused; refused
        settings are also ValueError (ComValueError) or TypeError (ComTypeError),
        carrying the component's result code and message.

    Every setting may be changed later, with the same refusals; the tracker's
    buffers are rebuilt on the next track().
    """

    def __init__(
        self,
        frame_shape: tuple[int, int],
        half_window: tuple[int, int] = (10, 10),
        levels: int = 3,
        iterations: int = 30,
        epsilon: float = 0.01,
        residues: bool = False,
        max_features: int = 400,
    ) -> None:
        self._object = Dispatch(PROG_ID)
        self._stale = True
        self._set_geometry(frame_shape, levels)
        self.half_window = half_window
        self.iterations = iterations
        self.epsilon = epsilon
        self.residues = residues
        self.max_features = max_features

    def _write(self, values: dict[str, object]) -> None:
        """Writes component properties as one: a refused write leaves its property
        as it was, and those written before it get their old values back."""
        self._stale = True  # also after a refusal: a write put back may have marked the buffers stale
        written = []
        try:
            for name, value in values.items():
                written.append((name, getattr(self._object, name)))
                setattr(self._object, name, value)
        except BaseException:
            for name, old in written[:-1]:
                setattr(self._object, name, old)
            raise

    def _set_geometry(self, shape: object, levels: object) -> None:
        lines, columns = _frame_shape(shape)
        levels = _integer(levels, "levels")
        # 2**levels > the smaller side; the component refuses non-positive sides and negative levels itself.
        if lines > 0 and columns > 0 and levels >= min(lines, columns).bit_length():
            raise ComValueError(ResultCode.E_INVALIDARG, "2**%d is more than the frame's %d lines or %d columns"
                                % (levels, lines, columns), member="levels")
        padded_lines, padded_columns = padded_shape((lines, columns), levels)
        self._write({"pyramid_levels": levels, "lines": padded_lines, "columns": padded_columns})
        self._frame_shape, self._padded_shape = (lines, columns), (padded_lines, padded_columns)

    @property
    def frame_shape(self) -> tuple[int, int]:
        """(lines, columns) of the frames, before padding."""
        return self._frame_shape

    @frame_shape.setter
    def frame_shape(self, shape: tuple[int, int]) -> None:
        self._set_geometry(shape, self.levels)

    @property
    def levels(self) -> int:
        """Pyramid levels above the frame itself; frames are padded to multiples of 2**levels."""
        return self._object.pyramid_levels

    @levels.setter
    def levels(self, levels: int) -> None:
        self._set_geometry(self._frame_shape, levels)

    @property
    def half_window(self) -> tuple[int, int]:
        """Half the search window's (width, height): the window is (2w + 1) x (2h + 1)."""
        return (self._object.feature_width, self._object.feature_height)

    @half_window.setter
    def half_window(self, half: tuple[int, int]) -> None:
        width, height = half
        self._write({"feature_width": width, "feature_height": height})

    @property
    def residues(self) -> bool:
        """Whether track() computes each point's match residue."""
        return self._residues

    @residues.setter
    def residues(self, on: bool) -> None:
        self._write({"calc_match_residue": 1 if on else 0})
        self._residues = bool(on)

    def _frame(self, frame: ArrayLike, name: str) -> np.ndarray:
        """frame checked and padded: a C-ordered uint8 array of the padded shape."""
        frame = np.asarray(frame)
        if frame.dtype != np.uint8:
            raise ComTypeError(ResultCode.E_INVALIDARG, "Invalid Data Type: %s is %s, not uint8" % (name, frame.dtype),
                               member="track")
        if frame.shape != self._frame_shape:
            raise ComValueError(ResultCode.E_INVALIDARG, "Incompatible Image Size: %s is %s, not %s"
                                % (name, frame.shape, self._frame_shape), member="track")
        if frame.shape == self._padded_shape:
            return frame
        lines, columns = frame.shape
        padded = np.empty(self._padded_shape, np.uint8)
        padded[:lines, :columns] = frame
        padded[:lines, columns:] = frame[:, -1:]
        padded[lines:] = padded[lines - 1]
        return padded

    def track(self, frame_a: ArrayLike, frame_b: ArrayLike, points: ArrayLike) -> TrackResult:
        """Tracks points of frame_a into frame_b.

        Parameters
        ----------
        frame_a, frame_b : uint8 arrays of the tracker's frame_shape (lines, columns).
        points : x, y positions in frame_a, as an (n, 2) or OpenCV's (n, 1, 2)
            array or nested list of any real type; n at most max_features.

        Returns
        -------
        TrackResult
            ``points``: where each point lies in frame_b, float64 in the shape
            given; ``found``: bool, the shape without its last axis, False also
            for a point found in the padding (beyond the frame's last column or
            line, when the frame is padded in that direction);
            ``residues``: float32 like ``found``, or None when residues are off.

        Raises
        ------
        ComTypeError
            (a ComError and a TypeError) for frames that are not uint8 and
            points that are not real numbers;
        ComValueError
            (a ComError and a ValueError) for frames of another shape, points
            of another shape and more points than max_features;
        ValueError
            when the tracker has been closed;
        ComError
            for any other failure of the component.
        """
        given = np.asarray(points)
        if given.dtype.kind not in "iuf":
            raise ComTypeError(ResultCode.E_INVALIDARG, "Invalid Data Type: points are %s, not real numbers"
                               % given.dtype, member="track")
        if given.shape[1:] not in ((2,), (1, 2)):
            raise ComValueError(ResultCode.E_INVALIDARG, "Feature matrix: invalid format: points of shape %s, "
                                "not (n, 2) or (n, 1, 2)" % (given.shape,), member="track")
        # A column-major copy has the component's matrix layout, so it passes in place.
        start = np.asfortranarray(given.reshape(-1, 2), dtype=np.float64)
        padded_a, padded_b = self._frame(frame_a, "frame_a"), self._frame(frame_b, "frame_b")
        if self._stale:
            self._object.create_morvane()
            self._stale = False
        # The transposed views of C-ordered frames have the component's layout, so they pass in place.
        matches = self._object.track_corners(padded_a.T, padded_b.T, start)
        found = matches[:, 2] != 0
        (lines, columns), (padded_lines, padded_columns) = self._frame_shape, self._padded_shape
        if columns < padded_columns:
            found &= matches[:, 0] <= columns - 1
        if lines < padded_lines:
            found &= matches[:, 1] <= lines - 1
        residues = None
        if self._residues:
            residues = self._object.match_residue.astype(np.float32) if len(matches) else np.empty(0, np.float32)
            residues = residues.reshape(given.shape[:-1])
        return TrackResult(matches[:, :2].reshape(given.shape), found.reshape(given.shape[:-1]), residues)

    def close(self) -> None:
        """Releases the tracker object (when a call in progress ends); later calls raise ValueError."""
        self._object.close()

    def __enter__(self) -> Tracker:
        return self

    def __exit__(self, *exception) -> None:
        self.close()


def _setting(prop: str, meaning: str) -> property:
    def read(self: Tracker) -> object:
        return getattr(self._object, prop)

    def write(self: Tracker, value: object) -> None:
        self._write({prop: value})

    return property(read, write, doc="%s (the component's %s)." % (meaning, prop))


Tracker.iterations = _setting("stop_iterations", "The most iterations per point and level")
Tracker.epsilon = _setting("stop_epsilon", "The movement below which a point's iterations stop")
Tracker.max_features = _setting("max_features", "The most points one track() call takes")
