"""Calls through an interface's table of members, and one counted reference on it
that a call in progress keeps alive."""

from __future__ import annotations

import ctypes
import threading
from ctypes import POINTER, c_uint32, c_void_p

from ._types import GUID
from .errors import error_for, failed


RESULT_CODE = object()  # a member's result type: a 32-bit result code, checked


class Method:
    """A member of an interface's table: its name, slot and C prototype, declared once.

    The object itself is every member's first argument. A member that returns
    RESULT_CODE (the default) has its result checked by every call; ``returns``
    gives any other result type (None for none). ctypes releases the
    interpreter lock for the duration of a call.
    """

    __slots__ = ("name", "slot", "prototype", "checked")

    def __init__(self, name: str, slot: int, *arguments, returns=RESULT_CODE) -> None:
        self.name, self.slot, self.checked = name, slot, returns is RESULT_CODE
        self.prototype = ctypes.CFUNCTYPE(ctypes.c_int32 if self.checked else returns, c_void_p, *arguments)

    def function(self, pointer: int):
        """The function in this member's slot of the table of the interface at pointer."""
        table = ctypes.cast(pointer, POINTER(c_void_p))[0]
        return self.prototype(ctypes.cast(table, POINTER(c_void_p))[self.slot])

    def __call__(self, pointer: int, *values):
        """Calls the member on the interface at pointer; raises the ComError of a failing result code."""
        result = self.function(pointer)(pointer, *values)
        if self.checked and failed(result):
            raise error_for(result, member=self.name)
        return result


QUERY_INTERFACE = Method("QueryInterface", 0, POINTER(GUID), POINTER(c_void_p))
ADD_REF = Method("AddRef", 1, returns=c_uint32)
RELEASE = Method("Release", 2, returns=c_uint32)


class Reference:
    """One counted reference on an interface, released exactly once.

    Calls hold the pointer from acquire() to finish(); release() while a call
    holds it gives the reference back when the last such call finishes, and
    every later acquire() raises ValueError.
    """

    __slots__ = ("_pointer", "_release", "_lock", "_calls", "_closing")

    def __init__(self, pointer: int) -> None:
        self._pointer: int | None = pointer
        self._release = RELEASE.function(pointer)
        self._lock = threading.Lock()
        self._calls = 0
        self._closing = False

    @property
    def pointer(self) -> int | None:
        """The interface pointer, or None once released (or releasing)."""
        return None if self._closing else self._pointer

    def acquire(self) -> int:
        """The pointer, which stays valid until the matching finish(); ValueError once released."""
        with self._lock:
            if self._closing:
                raise ValueError("the object has been closed")
            self._calls += 1
            return self._pointer

    def finish(self) -> None:
        """Ends a call begun with acquire()."""
        with self._lock:
            self._calls -= 1
            pointer = self._detach_when_idle()
        if pointer is not None:
            self._release(pointer)

    def release(self) -> None:
        """Gives the reference back, at once or when the calls in progress finish; later calls do nothing."""
        with self._lock:
            self._closing = True
            pointer = self._detach_when_idle()
        if pointer is not None:
            self._release(pointer)

    def _detach_when_idle(self) -> int | None:
        # Under the lock: the pointer to release, once closing and no call holds it.
        if not self._closing or self._calls or self._pointer is None:
            return None
        pointer, self._pointer = self._pointer, None
        return pointer

    def call(self, method: Method, *values):
        """Calls method with values after the object itself, holding the pointer meanwhile."""
        pointer = self.acquire()
        try:
            return method(pointer, *values)
        finally:
            self.finish()

    def query(self, iid: GUID) -> Reference:
        """A new reference to the same object's interface iid."""
        found = c_void_p()
        self.call(QUERY_INTERFACE, ctypes.byref(iid), ctypes.byref(found))
        return Reference(found.value)

    def __del__(self) -> None:
        try:
            self.release()
        except Exception:  # the interpreter may be shutting down
            pass
