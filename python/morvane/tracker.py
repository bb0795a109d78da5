"""The Morvane tracker with numpy arrays: frames in, points, found flags and residues out."""

from __future__ import annotations

from typing import NamedTuple

import numpy as np

from ._dispatch import Dispatch

PROG_ID = "Morvane.CoMorvane"


class TrackResult(NamedTuple):
    """Where each point lies in the second frame, whether it was found, and its residue."""

    points: np.ndarray  # (n, 2) float64: x, y
    found: np.ndarray  # (n,) bool
    residues: np.ndarray | None  # (n,) float32, or None when residues are off


# Tracker settings and the component properties they write.
_SETTINGS = {
    "levels": "pyramid_levels",
    "iterations": "stop_iterations",
    "epsilon": "stop_epsilon",
    "max_features": "max_features",
}


class Tracker:
    """A Morvane tracker for frames of one shape (lines, columns).

    Frames are C-ordered uint8 arrays of that shape; the component receives their
    transposed views, which already have its matrix layout, so no frame is copied
    here. Refused settings and calls raise ComError with the component's message.
    Changing a setting rebuilds the tracker's buffers on the next track().
    """

    def __init__(
        self,
        frame_shape: tuple[int, int],
        half_window: tuple[int, int] = (2, 2),
        levels: int = 0,
        iterations: int = 5,
        epsilon: float = 0.1,
        residues: bool = False,
        max_features: int = 400,
    ) -> None:
        self._object = Dispatch(PROG_ID)
        self._stale = True
        self.frame_shape = frame_shape
        self.half_window = half_window
        self.levels = levels
        self.iterations = iterations
        self.epsilon = epsilon
        self.residues = residues
        self.max_features = max_features

    @property
    def frame_shape(self) -> tuple[int, int]:
        """(lines, columns) of the frames."""
        return (self._object.lines, self._object.columns)

    @frame_shape.setter
    def frame_shape(self, shape: tuple[int, int]) -> None:
        self._object.lines, self._object.columns = shape
        self._stale = True

    @property
    def half_window(self) -> tuple[int, int]:
        """Half the search window's (width, height): the window is (2w + 1) × (2h + 1)."""
        return (self._object.feature_width, self._object.feature_height)

    @half_window.setter
    def half_window(self, half: tuple[int, int]) -> None:
        self._object.feature_width, self._object.feature_height = half
        self._stale = True

    @property
    def residues(self) -> bool:
        """Whether track() computes each point's match residue."""
        return self._residues

    @residues.setter
    def residues(self, on: bool) -> None:
        self._object.calc_match_residue = 1 if on else 0
        self._residues = bool(on)
        self._stale = True

    def track(self, frame_a: np.ndarray, frame_b: np.ndarray, points: np.ndarray) -> TrackResult:
        """Tracks (n, 2) points x, y of frame_a into frame_b."""
        if self._stale:
            self._object.create_morvane()
            self._stale = False
        points = np.asarray(points, dtype=np.float64)
        matches = self._object.track_corners(np.asarray(frame_a).T, np.asarray(frame_b).T, points)
        residues = None
        if self._residues:
            residues = self._object.match_residue.astype(np.float32) if len(matches) else np.empty(0, np.float32)
        return TrackResult(matches[:, :2], matches[:, 2] != 0, residues)

    def close(self) -> None:
        """Releases the tracker object."""
        self._object.close()

    def __enter__(self) -> Tracker:
        return self

    def __exit__(self, *exception) -> None:
        self.close()


def _setting(prop: str) -> property:
    def read(self: Tracker) -> object:
        return getattr(self._object, prop)

    def write(self: Tracker, value: object) -> None:
        setattr(self._object, prop, value)
        self._stale = True

    return property(read, write, doc="The component's %s." % prop)


for _name, _prop in _SETTINGS.items():
    setattr(Tracker, _name, _setting(_prop))
