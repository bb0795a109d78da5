"""The runtime's data layouts as ctypes structures (x86-64 sizes and alignments)."""

from __future__ import annotations

import ctypes
import uuid
from ctypes import (
    c_double,
    c_float,
    c_int16,
    c_int32,
    c_int64,
    c_uint8,
    c_uint16,
    c_uint32,
    c_void_p,
)

VT_EMPTY = 0
VT_NULL = 1
VT_I2 = 2
VT_I4 = 3
VT_R4 = 4
VT_R8 = 5
VT_BSTR = 8
VT_DISPATCH = 9
VT_ERROR = 10
VT_BOOL = 11
VT_VARIANT = 12
VT_UNKNOWN = 13
VT_I1 = 16
VT_UI1 = 17
VT_UI2 = 18
VT_UI4 = 19
VT_I8 = 20
VT_UI8 = 21
VT_INT = 22
VT_UINT = 23
VT_VOID = 24
VT_HRESULT = 25
VT_PTR = 26
VT_SAFEARRAY = 27
VT_USERDEFINED = 29
VT_ARRAY = 0x2000
VT_BYREF = 0x4000
VT_TYPEMASK = 0x0FFF

DISPATCH_METHOD = 0x1
DISPATCH_PROPERTYGET = 0x2
DISPATCH_PROPERTYPUT = 0x4
DISPID_PROPERTYPUT = -3
MEMBERID_NIL = -1

INVOKE_FUNC = 1
INVOKE_PROPERTYGET = 2
INVOKE_PROPERTYPUT = 4

PARAMFLAG_FIN = 0x01
PARAMFLAG_FOUT = 0x02
PARAMFLAG_FLCID = 0x04
PARAMFLAG_FRETVAL = 0x08
PARAMFLAG_FOPT = 0x10

FUNCFLAG_FRESTRICTED = 0x1
TYPEFLAG_FDUAL = 0x40

CLSCTX_INPROC_SERVER = 0x1
COINIT_MULTITHREADED = 0x0
LOCALE_ENGLISH_US = 0x0409


class GUID(ctypes.Structure):
    """A 16-byte identifier in its in-memory layout."""

    _fields_ = [
        ("Data1", c_uint32),
        ("Data2", c_uint16),
        ("Data3", c_uint16),
        ("Data4", c_uint8 * 8),
    ]

    @classmethod
    def parse(cls, text: str) -> GUID:
        """The identifier written as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}."""
        return cls.from_buffer_copy(uuid.UUID(text).bytes_le)

    def __str__(self) -> str:
        return "{" + str(uuid.UUID(bytes_le=bytes(self))).upper() + "}"


IID_NULL = GUID()
IID_IDispatch = GUID.parse("{00020400-0000-0000-C000-000000000046}")


class _VariantValue(ctypes.Union):
    _fields_ = [
        ("llVal", c_int64),
        ("lVal", c_int32),
        ("bVal", c_uint8),
        ("iVal", c_int16),
        ("fltVal", c_float),
        ("dblVal", c_double),
        ("boolVal", c_int16),
        ("scode", c_int32),
        ("pointer", c_void_p),
        ("record", c_void_p * 2),
    ]


class VARIANT(ctypes.Structure):
    """A variant: the type word, three reserved words and a 16-byte value."""

    _anonymous_ = ("value",)
    _fields_ = [
        ("vt", c_uint16),
        ("wReserved1", c_uint16),
        ("wReserved2", c_uint16),
        ("wReserved3", c_uint16),
        ("value", _VariantValue),
    ]


class SAFEARRAYBOUND(ctypes.Structure):
    _fields_ = [("cElements", c_uint32), ("lLbound", c_int32)]


class SAFEARRAY(ctypes.Structure):
    """An array descriptor; its bounds (last dimension first) follow the fixed part."""

    _fields_ = [
        ("cDims", c_uint16),
        ("fFeatures", c_uint16),
        ("cbElements", c_uint32),
        ("cLocks", c_uint32),
        ("pvData", c_void_p),
        ("rgsabound", SAFEARRAYBOUND * 1),
    ]


class DISPPARAMS(ctypes.Structure):
    _fields_ = [
        ("rgvarg", ctypes.POINTER(VARIANT)),
        ("rgdispidNamedArgs", ctypes.POINTER(c_int32)),
        ("cArgs", c_uint32),
        ("cNamedArgs", c_uint32),
    ]


class EXCEPINFO(ctypes.Structure):
    _fields_ = [
        ("wCode", c_uint16),
        ("wReserved", c_uint16),
        ("bstrSource", c_void_p),
        ("bstrDescription", c_void_p),
        ("bstrHelpFile", c_void_p),
        ("dwHelpContext", c_uint32),
        ("pvReserved", c_void_p),
        ("pfnDeferredFillIn", c_void_p),
        ("scode", c_int32),
    ]


class TYPEDESC(ctypes.Structure):
    """An element type: vt, with the pointed-to type for VT_PTR and VT_SAFEARRAY."""


TYPEDESC._fields_ = [("lptdesc", ctypes.POINTER(TYPEDESC)), ("vt", c_uint16)]


class ELEMDESC(ctypes.Structure):
    _fields_ = [
        ("tdesc", TYPEDESC),
        ("pparamdescex", c_void_p),
        ("wParamFlags", c_uint16),
    ]


class TYPEATTR(ctypes.Structure):
    _fields_ = [
        ("guid", GUID),
        ("lcid", c_uint32),
        ("dwReserved", c_uint32),
        ("memidConstructor", c_int32),
        ("memidDestructor", c_int32),
        ("lpstrSchema", c_void_p),
        ("cbSizeInstance", c_uint32),
        ("typekind", c_int32),
        ("cFuncs", c_uint16),
        ("cVars", c_uint16),
        ("cImplTypes", c_uint16),
        ("cbSizeVft", c_uint16),
        ("cbAlignment", c_uint16),
        ("wTypeFlags", c_uint16),
        ("wMajorVerNum", c_uint16),
        ("wMinorVerNum", c_uint16),
        ("tdescAlias", TYPEDESC),
        ("idldescType", c_void_p * 2),
    ]


class FUNCDESC(ctypes.Structure):
    _fields_ = [
        ("memid", c_int32),
        ("lprgscode", c_void_p),
        ("lprgelemdescParam", ctypes.POINTER(ELEMDESC)),
        ("funckind", c_int32),
        ("invkind", c_int32),
        ("callconv", c_int32),
        ("cParams", c_int16),
        ("cParamsOpt", c_int16),
        ("oVft", c_int16),
        ("cScodes", c_int16),
        ("elemdescFunc", ELEMDESC),
        ("wFuncFlags", c_uint16),
    ]
