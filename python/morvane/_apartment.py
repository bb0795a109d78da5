"""The component system, initialised once in each thread that uses the package.

Each thread is initialised (multithreaded) on its first call and uninitialised
when the thread ends; the main thread is uninitialised at interpreter exit.
"""

from __future__ import annotations

import atexit
import threading

from ._platform import platform
from ._types import COINIT_MULTITHREADED
from .errors import check

_state = threading.local()


class _Initialisation:
    """The calling thread's initialisation, undone once when this object goes."""

    def __init__(self) -> None:
        check(platform.CoInitializeEx(None, COINIT_MULTITHREADED), "CoInitializeEx")
        self._active = True

    def finish(self) -> None:
        if self._active:
            self._active = False
            platform.CoUninitialize()

    def __del__(self) -> None:
        # A thread's locals are dropped on that thread as it ends.
        try:
            self.finish()
        except Exception:  # the interpreter may be shutting down
            pass


def ensure() -> None:
    """Initialises the component system for the calling thread if it is not yet."""
    try:
        _state.initialisation
    except AttributeError:
        _state.initialisation = _Initialisation()


@atexit.register
def _finish_at_exit() -> None:
    initialisation = getattr(_state, "initialisation", None)
    if initialisation is not None:
        initialisation.finish()
