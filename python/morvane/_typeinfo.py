"""Members of a dispatch interface as its type information describes them."""

from __future__ import annotations

import ctypes
from ctypes import POINTER, c_int32, c_uint32, c_void_p
from dataclasses import dataclass

from . import _types as t
from ._interface import Reference
from ._strings import take_text
from .errors import ComError, failed

# Slots of ITypeInfo's table.
_GET_TYPE_ATTR = (3, c_int32, (POINTER(c_void_p),))
_GET_FUNC_DESC = (5, c_int32, (c_uint32, POINTER(c_void_p)))
_GET_NAMES = (7, c_int32, (c_int32, POINTER(c_void_p), c_uint32, POINTER(c_uint32)))
_GET_DOCUMENTATION = (12, c_int32, (c_int32, POINTER(c_void_p), POINTER(c_void_p), c_void_p, c_void_p))
_RELEASE_TYPE_ATTR = (19, None, (c_void_p,))
_RELEASE_FUNC_DESC = (20, None, (c_void_p,))

_FUNCFLAG_FRESTRICTED = 0x1

_TYPE_NAMES = {
    t.VT_I1: "char",
    t.VT_UI1: "unsigned char",
    t.VT_I2: "short",
    t.VT_UI2: "unsigned short",
    t.VT_I4: "long",
    t.VT_UI4: "unsigned long",
    t.VT_INT: "int",
    t.VT_UINT: "unsigned int",
    t.VT_I8: "int64",
    t.VT_UI8: "uint64",
    t.VT_R4: "float",
    t.VT_R8: "double",
    t.VT_BSTR: "BSTR",
    t.VT_BOOL: "VARIANT_BOOL",
    t.VT_VARIANT: "VARIANT",
    t.VT_DISPATCH: "IDispatch*",
    t.VT_UNKNOWN: "IUnknown*",
    t.VT_ERROR: "SCODE",
    t.VT_HRESULT: "HRESULT",
    t.VT_VOID: "void",
}


def type_name(description: t.TYPEDESC) -> str:
    """A C-like spelling of an element type."""
    if description.vt == t.VT_PTR and description.lptdesc:
        return type_name(description.lptdesc.contents) + "*"
    if description.vt == t.VT_SAFEARRAY and description.lptdesc:
        return "SAFEARRAY(%s)" % type_name(description.lptdesc.contents)
    return _TYPE_NAMES.get(description.vt, "vt 0x%04X" % description.vt)


@dataclass(frozen=True)
class Parameter:
    name: str
    type: str


@dataclass
class Member:
    """A member: a method, or a property with its read and write kinds."""

    name: str
    dispid: int
    help: str
    method: bool = False
    readable: bool = False
    writable: bool = False
    parameters: tuple[Parameter, ...] = ()
    returns: str = ""

    def kind(self) -> str:
        if self.method:
            return "method"
        return "property (%s)" % ", ".join(k for k, on in (("read", self.readable), ("write", self.writable)) if on)

    def signature(self) -> str:
        """The member as a line: name, parameters and type."""
        if self.method:
            listed = ", ".join("%s: %s" % (p.name, p.type) for p in self.parameters)
            return "%s(%s)%s" % (self.name, listed, " -> " + self.returns if self.returns else "")
        return "%s: %s" % (self.name, self.returns)

    def docstring(self) -> str:
        return "%s\n\n%s" % (self.signature(), self.help) if self.help else self.signature()


@dataclass
class Description:
    """The interface a type information describes: its name, help string and members."""

    name: str
    help: str
    iid: str
    members: dict[str, Member]


def _documentation(info: Reference, memid: int) -> tuple[str, str]:
    name, text = c_void_p(), c_void_p()
    slot, result, arguments = _GET_DOCUMENTATION
    hresult = info.call(slot, result, arguments, memid, ctypes.byref(name), ctypes.byref(text), None, None)
    if failed(hresult):
        raise ComError(hresult, member="GetDocumentation")
    return take_text(name.value), take_text(text.value)


def _names(info: Reference, memid: int, count: int) -> list[str]:
    names = (c_void_p * (count + 1))()
    found = c_uint32()
    slot, result, arguments = _GET_NAMES
    if failed(info.call(slot, result, arguments, memid, names, count + 1, ctypes.byref(found))):
        return []
    return [take_text(names[k]) for k in range(found.value)]


def _add_function(members: dict[str, Member], info: Reference, function: t.FUNCDESC) -> None:
    name, help_text = _documentation(info, function.memid)
    names = _names(info, function.memid, function.cParams)
    parameters, returns = [], type_name(function.elemdescFunc.tdesc)
    for k in range(function.cParams):
        element = function.lprgelemdescParam[k]
        kind = type_name(element.tdesc)
        if element.wParamFlags & t.PARAMFLAG_FRETVAL:
            returns = kind[:-1] if kind.endswith("*") else kind
        elif not element.wParamFlags & t.PARAMFLAG_FLCID:
            parameters.append(Parameter(names[k + 1] if k + 1 < len(names) else "value", kind))
    if returns in ("HRESULT", "void"):
        returns = ""
    entry = members.setdefault(name, Member(name, function.memid, help_text))
    if function.invkind == t.INVOKE_FUNC or (function.invkind == t.INVOKE_PROPERTYGET and parameters):
        entry.method, entry.parameters, entry.returns = True, tuple(parameters), returns
    elif function.invkind == t.INVOKE_PROPERTYGET:
        entry.readable, entry.returns = True, returns
    else:
        entry.writable = True
        entry.returns = entry.returns or (parameters[-1].type if parameters else "")


def describe(info: Reference) -> Description:
    """Reads the interface and its members (restricted ones left out) from type information."""
    attributes = c_void_p()
    slot, result, arguments = _GET_TYPE_ATTR
    hresult = info.call(slot, result, arguments, ctypes.byref(attributes))
    if failed(hresult):
        raise ComError(hresult, member="GetTypeAttr")
    try:
        attribute = t.TYPEATTR.from_address(attributes.value)
        count, iid = attribute.cFuncs, str(attribute.guid)
    finally:
        info.call(*_RELEASE_TYPE_ATTR, attributes)
    members: dict[str, Member] = {}
    for index in range(count):
        description = c_void_p()
        slot, result, arguments = _GET_FUNC_DESC
        if failed(info.call(slot, result, arguments, index, ctypes.byref(description))):
            continue
        try:
            function = t.FUNCDESC.from_address(description.value)
            if not function.wFuncFlags & _FUNCFLAG_FRESTRICTED:
                _add_function(members, info, function)
        finally:
            info.call(*_RELEASE_FUNC_DESC, description)
    name, help_text = _documentation(info, t.MEMBERID_NIL)
    return Description(name, help_text, iid, members)
