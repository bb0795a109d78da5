"""The component system, initialised once in each thread that uses the package.

Each thread is initialised (multithreaded) on its first call and uninitialised
when the thread ends; the main thread is uninitialised at interpreter exit.
An initialisation belongs to the process that made it: a child forked beside
other threads inherits their thread-local objects, which the child drops on its
own thread, and those must not undo the initialisation of the thread they ran on.
"""

from __future__ import annotations

import atexit
import os
import threading

from ._platform import platform
from ._types import COINIT_MULTITHREADED

_state = threading.local()


class _Initialisation:
    """The calling thread's initialisation, undone once, and only in its own process."""

    def __init__(self) -> None:
        platform.CoInitializeEx(None, COINIT_MULTITHREADED)
        self.process = os.getpid()

    def finish(self) -> None:
        if self.process == os.getpid():
            self.process = None
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


def _adopt_in_child() -> None:
    # The forking thread goes on in the child with its runtime state, initialisation included.
    initialisation = getattr(_state, "initialisation", None)
    if initialisation is not None and initialisation.process is not None:
        initialisation.process = os.getpid()


os.register_at_fork(after_in_child=_adopt_in_child)


@atexit.register
def _finish_at_exit() -> None:
    initialisation = getattr(_state, "initialisation", None)
    if initialisation is not None:
        initialisation.finish()
