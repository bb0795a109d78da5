"""Failures of the component system and of the components' members, and their result codes."""

from __future__ import annotations

import enum


class ResultCode(enum.IntEnum):
    """Result codes the package names, as unsigned 32-bit values."""

    E_NOTIMPL = 0x80004001
    E_NOINTERFACE = 0x80004002
    E_POINTER = 0x80004003
    E_FAIL = 0x80004005
    E_UNEXPECTED = 0x8000FFFF
    E_ACCESSDENIED = 0x80070005
    E_OUTOFMEMORY = 0x8007000E
    E_INVALIDARG = 0x80070057
    CLASS_E_NOAGGREGATION = 0x80040110
    CLASS_E_CLASSNOTAVAILABLE = 0x80040111
    REGDB_E_CLASSNOTREG = 0x80040154
    CO_E_NOTINITIALIZED = 0x800401F0
    CO_E_CLASSSTRING = 0x800401F3
    CO_E_DLLNOTFOUND = 0x800401F8
    CO_E_ERRORINDLL = 0x800401F9
    DISP_E_MEMBERNOTFOUND = 0x80020003
    DISP_E_PARAMNOTFOUND = 0x80020004
    DISP_E_TYPEMISMATCH = 0x80020005
    DISP_E_UNKNOWNNAME = 0x80020006
    DISP_E_NONAMEDARGS = 0x80020007
    DISP_E_BADVARTYPE = 0x80020008
    DISP_E_EXCEPTION = 0x80020009
    DISP_E_OVERFLOW = 0x8002000A
    DISP_E_BADPARAMCOUNT = 0x8002000E
    DISP_E_PARAMNOTOPTIONAL = 0x8002000F
    TYPE_E_LIBNOTREGISTERED = 0x8002801D
    TYPE_E_ELEMENTNOTFOUND = 0x8002802B
    TYPE_E_CANTLOADLIBRARY = 0x80029C4A


def hresult_name(hresult: int) -> str:
    """The symbolic name of a result code, or the code in hexadecimal."""
    code = hresult & 0xFFFFFFFF
    try:
        return ResultCode(code).name
    except ValueError:
        return "0x%08X" % code


def failed(hresult: int) -> bool:
    """Whether a result code reports a failure (negative as a 32-bit value)."""
    return hresult & 0x80000000 != 0


class ComError(Exception):
    """A failing result code, with the member's message and source when it left them.

    ``hresult`` is the code as an unsigned 32-bit value. Every failure of the
    component system or of a component's member is a ComError; those that
    blame the caller's arguments are also a TypeError or a ValueError.
    """

    def __init__(self, hresult: int, message: str = "", source: str = "", member: str = "") -> None:
        self.hresult = hresult & 0xFFFFFFFF
        self.message = message
        self.source = source
        self.member = member
        super().__init__(str(self))

    def __str__(self) -> str:
        code = "0x%08X" % self.hresult
        name = hresult_name(self.hresult)
        status = code if name == code else "%s %s" % (name, code)
        text = "%s (%s)" % (self.message, status) if self.message else status
        return "%s: %s" % (self.member, text) if self.member else text

    def __reduce__(self):
        return (type(self), (self.hresult, self.message, self.source, self.member))


class ComTypeError(ComError, TypeError):
    """A refusal of an argument's type: a ComError that ``except TypeError`` also catches."""


class ComValueError(ComError, ValueError):
    """A refusal of an argument's value or shape: a ComError that ``except ValueError`` also catches."""


# Codes that blame the caller's arguments, and the Python error each one also is.
_ARGUMENT_ERRORS = {
    ResultCode.E_INVALIDARG: ComValueError,
    ResultCode.DISP_E_TYPEMISMATCH: ComTypeError,
    ResultCode.DISP_E_BADPARAMCOUNT: ComTypeError,
}


def error_for(hresult: int, message: str = "", source: str = "", member: str = "") -> ComError:
    """The ComError for a failing code: a ComTypeError or ComValueError when the
    code blames the caller's arguments, a plain ComError otherwise."""
    kind = _ARGUMENT_ERRORS.get(hresult & 0xFFFFFFFF, ComError)
    return kind(hresult, message, source, member)


def check(hresult: int, member: str = "") -> int:
    """hresult when it reports success; otherwise raises the error_for it naming member."""
    if failed(hresult):
        raise error_for(hresult, member=member)
    return hresult
