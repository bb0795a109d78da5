"""Features followed through whole sequences by the sequence engine libmorvane-track.

    >>> import morvane
    >>> for step in morvane.track_video("frames/%04d.png", max_features=200):
    ...     print(step.frame, len(step.tracks), step.ended)

The engine does the detection, the checks, the re-detection and the padding; this
module only hands it frames and turns its rows into numpy arrays. The library of
the installation is used (beside the platform runtime the package loads);
``MORVANE_TRACK`` names another file. The component must be registered.
"""

from __future__ import annotations

import ctypes
import math
import os
from collections.abc import Iterable, Iterator
from ctypes import POINTER, Structure, byref, c_char_p, c_double, c_float, c_int, c_long, c_size_t, c_ssize_t
from ctypes import c_ubyte, c_void_p
from pathlib import Path
from typing import Any, NamedTuple

import numpy as np

from ._platform import declare, platform as _platform_library

LIBRARY_NAME = "libmorvane-track.so.1"

# Result codes of the library.
OK, INVALID, COMPONENT, FRAME_SIZE, READ, END, WOKEN, NO_MEMORY = range(8)

# Why a track ended, by the library's reason number.
END_REASONS = ("lost", "forward-backward", "residue", "left the frame", "appearance")


class SequenceError(RuntimeError):
    """A call of the sequence engine failed: ``code`` is its result code, the text its message."""

    def __init__(self, code: int, message: str) -> None:
        super().__init__(message)
        self.code = code


class FrameTracks(NamedTuple):
    """The live tracks in one frame, and the tracks that ended there."""

    frame: int  # counted from 0
    tracks: np.ndarray  # (n,) int64 track ids
    points: np.ndarray  # (n, 2) float32: x, y
    residues: np.ndarray  # (n,) float32; NaN in a track's first frame
    fb_errors: np.ndarray  # (n,) float32 round-trip errors; NaN where none was measured
    ended: np.ndarray  # (m,) int64 ids of the tracks that ended in this frame
    reasons: tuple[str, ...]  # why each of them ended (END_REASONS)


class _Settings(Structure):
    _fields_ = [
        ("max_features", c_int),
        ("quality", c_double),
        ("min_distance", c_double),
        ("redetect", c_double),
        ("half_width", c_int),
        ("half_height", c_int),
        ("levels", c_int),
        ("iterations", c_int),
        ("epsilon", c_double),
        ("fb_max", c_double),
        ("residue_max", c_double),
        ("appearance_check", c_int),
        ("appearance_min", c_double),
        ("points", POINTER(c_float)),
        ("point_count", c_size_t),
    ]


class _Row(Structure):
    _fields_ = [
        ("frame", c_long),
        ("track", c_long),
        ("x", c_float),
        ("y", c_float),
        ("residue", c_float),
        ("fb_error", c_float),
        ("has_residue", c_ubyte),
        ("has_fb_error", c_ubyte),
    ]


class _End(Structure):
    _fields_ = [("frame", c_long), ("track", c_long), ("first_frame", c_long), ("reason", c_int)]


def library_path() -> str:
    """The file to load: ``MORVANE_TRACK``, else the one beside the platform runtime, else the loader's search."""
    chosen = os.environ.get("MORVANE_TRACK")
    if chosen:
        return chosen
    platform = Path(_platform_library._name)
    beside = platform.with_name(LIBRARY_NAME)
    return str(beside) if platform.is_absolute() and beside.is_file() else LIBRARY_NAME


def _load() -> ctypes.CDLL:
    engine, source = c_void_p, c_void_p
    return declare(ctypes.CDLL(library_path()), {
        "morvane_track_message": (c_char_p, [], None),
        "morvane_track_default_settings": (None, [POINTER(_Settings)], None),
        "morvane_track_padded_size": (c_int, [c_int, c_int, c_int, POINTER(c_int), POINTER(c_int)], None),
        "morvane_track_open": (c_int, [POINTER(_Settings), POINTER(engine)], None),
        "morvane_track_push": (c_int, [engine, c_void_p, c_int, c_int, c_ssize_t], None),
        "morvane_track_rows": (c_int, [engine, POINTER(POINTER(_Row)), POINTER(c_size_t)], None),
        "morvane_track_ends": (c_int, [engine, POINTER(POINTER(_End)), POINTER(c_size_t)], None),
        "morvane_track_close": (None, [engine], None),
        "morvane_track_source_open": (c_int, [c_char_p, c_int, POINTER(source)], None),
        "morvane_track_source_next": (
            c_int, [source, POINTER(POINTER(c_ubyte)), POINTER(c_int), POINTER(c_int), POINTER(c_ssize_t)], None),
        "morvane_track_source_frame_name": (c_char_p, [source], None),
        "morvane_track_source_close": (None, [source], None),
    })


_library = _load()


def _checked(code: int) -> None:
    """Raises SequenceError with the library's message unless code is OK."""
    if code != OK:
        raise SequenceError(code, _library.morvane_track_message().decode("utf-8", "replace"))


def padded_shape(shape: tuple[int, int], levels: int) -> tuple[int, int]:
    """The (lines, columns) that the component's pyramid needs for frames of ``shape``: each
    rounded up to a multiple of 2**levels. Raises SequenceError for sizes or levels that have none."""
    columns, lines = c_int(), c_int()
    _checked(_library.morvane_track_padded_size(int(shape[1]), int(shape[0]), int(levels), byref(columns), byref(lines)))
    return (lines.value, columns.value)


def _settings(points: Any = None, half_window: int | tuple[int, int] | None = None,
              residue_max: float | None = None, appearance: bool = True, **values: Any) -> tuple[_Settings, Any]:
    """The library's settings from keyword arguments, and the array that must outlive them.

    Raises TypeError for an unknown name."""
    settings = _Settings()
    _library.morvane_track_default_settings(byref(settings))
    for name, value in values.items():
        if name not in ("max_features", "quality", "min_distance", "redetect", "levels", "iterations", "epsilon",
                        "fb_max", "appearance_min"):
            raise TypeError(f"unknown setting {name!r}")
        setattr(settings, name, value)
    if half_window is not None:
        settings.half_width, settings.half_height = (
            (half_window, half_window) if isinstance(half_window, int) else half_window
        )
    settings.residue_max = math.inf if residue_max is None else residue_max
    settings.appearance_check = 1 if appearance else 0
    kept = None
    if points is not None:
        kept = np.ascontiguousarray(points, dtype=np.float32).reshape(-1, 2)
        settings.points = kept.ctypes.data_as(POINTER(c_float))
        settings.point_count = len(kept)
    return settings, kept


def _dtype(structure: type[Structure]) -> np.dtype:
    """The numpy record type with structure's fields at their offsets."""
    names = [name for name, _ in structure._fields_]
    return np.dtype({
        "names": names,
        "formats": [np.dtype(kind) for _, kind in structure._fields_],
        "offsets": [getattr(structure, name).offset for name in names],
        "itemsize": ctypes.sizeof(structure),
    })


def _table(pointer: Any, count: int, structure: type[Structure]) -> np.ndarray:
    """A copy of count records of structure at pointer, as a numpy record array."""
    if count == 0:
        return np.zeros(0, _dtype(structure))
    memory = (ctypes.c_char * (count * ctypes.sizeof(structure))).from_address(ctypes.addressof(pointer.contents))
    return np.frombuffer(memory, _dtype(structure)).copy()


def _grey(frame: Any) -> np.ndarray:
    """frame as a 2-D uint8 array whose rows are contiguous; raises ValueError for anything else."""
    array = np.asarray(frame)
    if array.ndim != 2 or array.dtype != np.uint8:
        raise ValueError(f"frames must be 2-D uint8 arrays, not {array.ndim}-D {array.dtype}")
    if array.strides[1] != 1 or array.strides[0] < array.shape[1]:
        array = np.ascontiguousarray(array)
    return array


class _Engine:
    """One run of the engine: frames pushed in, each frame's tracks read out."""

    def __init__(self, settings: dict[str, Any]) -> None:
        self._settings, self._points = _settings(**settings)
        self._handle = c_void_p()
        _checked(_library.morvane_track_open(byref(self._settings), byref(self._handle)))

    def push(self, frame: np.ndarray, number: int) -> FrameTracks:
        """Tracks into frame ``number`` (2-D uint8, contiguous rows); its tracks, or SequenceError."""
        lines, columns = frame.shape
        _checked(_library.morvane_track_push(self._handle, frame.ctypes.data, columns, lines, frame.strides[0]))
        rows, row_count = POINTER(_Row)(), c_size_t()
        ends, end_count = POINTER(_End)(), c_size_t()
        _checked(_library.morvane_track_rows(self._handle, byref(rows), byref(row_count)))
        _checked(_library.morvane_track_ends(self._handle, byref(ends), byref(end_count)))
        table = _table(rows, row_count.value, _Row)
        gone = _table(ends, end_count.value, _End)
        return FrameTracks(
            frame=number,
            tracks=table["track"].astype(np.int64),
            points=np.stack([table["x"], table["y"]], axis=1).astype(np.float32),
            residues=np.where(table["has_residue"] != 0, table["residue"], np.nan).astype(np.float32),
            fb_errors=np.where(table["has_fb_error"] != 0, table["fb_error"], np.nan).astype(np.float32),
            ended=gone["track"].astype(np.int64),
            reasons=tuple(END_REASONS[reason] for reason in gone["reason"]),
        )

    def close(self) -> None:
        """Releases the engine and its component."""
        if self._handle:
            _library.morvane_track_close(self._handle)
            self._handle = c_void_p()


def track_frames(frames: Iterable[Any], **settings: Any) -> Iterator[FrameTracks]:
    """Follows features through frames (2-D uint8 arrays of one shape), yielding each frame's tracks.

    Settings: max_features (400), quality (0.01), min_distance (10), redetect (0.7),
    half_window (10, or (w, h)), levels (3), iterations (30), epsilon (0.01), fb_max (1.0,
    0 for none), residue_max (None for none), appearance (True), appearance_min (0.8), and
    points, an (n, 2) array of x, y to start from instead of detected corners.
    Raises TypeError for an unknown setting, ValueError for a frame that is not 2-D uint8,
    and SequenceError for what the engine refuses (a setting, a frame of another shape,
    a component that is not registered).
    """
    engine = _Engine(settings)
    try:
        frame_count = 0
        for frame in frames:
            yield engine.push(_grey(frame), frame_count)
            frame_count += 1
    finally:
        engine.close()


def track_video(path: str | os.PathLike[str], **settings: Any) -> Iterator[FrameTracks]:
    """Follows features through a video file, a folder of images (natural order) or a printf-style
    pattern, read and decoded ahead by the library; settings and results as for track_frames.

    Raises SequenceError when the input cannot be opened or a frame cannot be read (naming it)."""
    source = c_void_p()
    _checked(_library.morvane_track_source_open(os.fsencode(path), -1, byref(source)))
    engine = None
    try:
        engine = _Engine(settings)
        frame_count = 0
        while True:
            pixels, columns, lines, stride = POINTER(c_ubyte)(), c_int(), c_int(), c_ssize_t()
            code = _library.morvane_track_source_next(source, byref(pixels), byref(columns), byref(lines), byref(stride))
            if code == END:
                return
            if code != OK:
                name = _library.morvane_track_source_frame_name(source).decode("utf-8", "replace")
                message = _library.morvane_track_message().decode("utf-8", "replace")
                raise SequenceError(code, f"cannot read frame {frame_count} ({name}): {message}")
            frame = np.ctypeslib.as_array(pixels, (lines.value * stride.value,))
            frame = np.lib.stride_tricks.as_strided(frame, (lines.value, columns.value), (stride.value, 1))
            yield engine.push(frame, frame_count)
            frame_count += 1
    finally:
        if engine is not None:
            engine.close()
        _library.morvane_track_source_close(source)
