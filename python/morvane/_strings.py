"""Wide strings: zero-terminated UTF-16 for names, BSTRs for automation values."""

from __future__ import annotations

import ctypes

from ._platform import platform


def utf16(text: str, what: str) -> bytes:
    """text as UTF-16; ValueError naming what for a lone surrogate, which UTF-16 cannot hold."""
    try:
        return text.encode("utf-16-le")
    except UnicodeEncodeError as error:
        raise ValueError("%s: %r holds a lone surrogate at index %d" % (what, text, error.start)) from None


def wide(text: str, what: str) -> ctypes.Array:
    """A zero-terminated UTF-16 copy of text, kept alive by the caller.

    Raises ValueError naming what when text holds a NUL, which would end it early,
    or a lone surrogate.
    """
    if "\0" in text:
        raise ValueError("%s: %r holds a NUL character" % (what, text))
    encoded = utf16(text, what) + b"\0\0"
    return ctypes.create_string_buffer(encoded, len(encoded))


def bstr_from(encoded: bytes) -> int:
    """A new BSTR holding UTF-16 text; the receiver frees it. MemoryError when none can be had."""
    return platform.SysAllocStringLen(encoded, len(encoded) // 2)


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
