"""Wide strings: zero-terminated UTF-16 for names, BSTRs for automation values."""

from __future__ import annotations

import ctypes

from ._platform import platform


def wide(text: str) -> ctypes.Array:
    """A zero-terminated UTF-16 copy of text, kept alive by the caller."""
    encoded = text.encode("utf-16-le") + b"\0\0"
    return ctypes.create_string_buffer(encoded, len(encoded))


def bstr_from(text: str) -> int:
    """A new BSTR holding text; the receiver frees it."""
    encoded = text.encode("utf-16-le")
    made = platform.SysAllocStringLen(encoded, len(encoded) // 2)
    if not made:
        raise MemoryError("no memory for a string of %d characters" % len(text))
    return made


def text_of(bstr: int | None) -> str:
    """The characters of a BSTR (empty for a null one); the BSTR stays the caller's."""
    if not bstr:
        return ""
    return ctypes.string_at(bstr, 2 * platform.SysStringLen(bstr)).decode("utf-16-le", "replace")


def take_text(bstr: int | None) -> str:
    """The characters of a BSTR, which is freed."""
    text = text_of(bstr)
    if bstr:
        platform.SysFreeString(bstr)
    return text

