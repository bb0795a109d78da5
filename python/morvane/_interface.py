"""Calls through an interface's table of members, and one counted reference on it."""

from __future__ import annotations

import ctypes
import functools
from ctypes import POINTER, c_int32, c_uint32, c_void_p

from ._types import GUID
from .errors import ComError, failed


@functools.lru_cache(maxsize=None)
def _prototype(result, arguments: tuple):
    # The object itself is every member's first argument; ctypes releases the
    # interpreter lock for the duration of the call.
    return ctypes.CFUNCTYPE(result, c_void_p, *arguments)


def member(pointer: int, slot: int, result=c_int32, *arguments):
    """The function in slot of the table of the interface at pointer."""
    table = ctypes.cast(pointer, POINTER(c_void_p))[0]
    address = ctypes.cast(table, POINTER(c_void_p))[slot]
    return _prototype(result, arguments)(address)


_QUERY_INTERFACE = (0, c_int32, POINTER(GUID), POINTER(c_void_p))
_RELEASE = (2, c_uint32)


class Reference:
    """One counted reference on an interface, released exactly once."""

    __slots__ = ("pointer", "_release")

    def __init__(self, pointer: int) -> None:
        self.pointer: int | None = pointer
        self._release = member(pointer, *_RELEASE)

    def call(self, slot: int, result, arguments: tuple, *values):
        """Calls the member in slot with values after the object itself."""
        if self.pointer is None:
            raise ValueError("the object has been closed")
        return member(self.pointer, slot, result, *arguments)(self.pointer, *values)

    def query(self, iid: GUID) -> Reference:
        """A new reference to the same object's interface iid."""
        found = c_void_p()
        slot, result, *arguments = _QUERY_INTERFACE
        hresult = self.call(slot, result, tuple(arguments), ctypes.byref(iid), ctypes.byref(found))
        if failed(hresult):
            raise ComError(hresult, member="QueryInterface")
        return Reference(found.value)

    def release(self) -> None:
        """Gives the reference back; later calls do nothing."""
        pointer, self.pointer = self.pointer, None
        if pointer is not None:
            self._release(pointer)

    def __del__(self) -> None:
        try:
            self.release()
        except Exception:  # the interpreter may be shutting down
            pass
