"""Morvane from Python: registered automation components called by name, and a
numpy face for the Morvane tracker.

    >>> import morvane
    >>> with morvane.Tracker((240, 320)) as tracker:
    ...     result = tracker.track(first_frame, second_frame, points)

``Tracker`` tracks points between frames of any size; ``Dispatch`` creates any
registered automation object and calls its members by name; failures raise
``ComError`` (also ``TypeError`` or ``ValueError`` when they blame an argument).
"""

from ._dispatch import Dispatch, DispatchObject
from .bitmap import read_grey_bitmap
from .errors import ComError, ComTypeError, ComValueError, ResultCode
from .sequence import FrameTracks, SequenceError, track_frames, track_video
from .tracker import Tracker, TrackResult, padded_shape

__all__ = [
    "ComError",
    "ComTypeError",
    "ComValueError",
    "Dispatch",
    "DispatchObject",
    "FrameTracks",
    "ResultCode",
    "SequenceError",
    "TrackResult",
    "Tracker",
    "padded_shape",
    "read_grey_bitmap",
    "track_frames",
    "track_video",
]
