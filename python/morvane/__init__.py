"""Morvane from Python: registered automation components called by name, and a
numpy face for the Morvane tracker.

    >>> import morvane
    >>> tracker = morvane.Dispatch("Morvane.CoMorvane")
    >>> tracker.lines = 240
"""

from ._dispatch import Dispatch, DispatchObject
from .bitmap import read_grey_bitmap
from .errors import ComError
from .sequence import FrameTracks, SequenceError, track_frames, track_video
from .tracker import Tracker, TrackResult

__all__ = ["ComError", "Dispatch", "DispatchObject", "FrameTracks", "SequenceError", "TrackResult", "Tracker", "read_grey_bitmap", "track_frames", "track_video"]
