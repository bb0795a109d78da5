"""Members of a dispatch interface as its type information describes them."""

from __future__ import annotations

import ctypes
from ctypes import POINTER, c_int32, c_uint32, c_void_p
from dataclasses import dataclass, field

from . import _types as t
from ._interface import Method, Reference
from ._strings import take_text
from .errors import ComError

# ITypeInfo's table.
_GET_TYPE_ATTR = Method("GetTypeAttr", 3, POINTER(c_void_p))
_GET_FUNC_DESC = Method("GetFuncDesc", 5, c_uint32, POINTER(c_void_p))
_GET_NAMES = Method("GetNames", 7, c_int32, POINTER(c_void_p), c_uint32, POINTER(c_uint32))
_GET_REF_TYPE_OF_IMPL_TYPE = Method("GetRefTypeOfImplType", 8, c_uint32, POINTER(c_uint32))
_GET_DOCUMENTATION = Method("GetDocumentation", 12, c_int32, POINTER(c_void_p), POINTER(c_void_p), c_void_p,
                            c_void_p)
_GET_REF_TYPE_INFO = Method("GetRefTypeInfo", 14, c_uint32, POINTER(c_void_p))
_RELEASE_TYPE_ATTR = Method("ReleaseTypeAttr", 19, c_void_p, returns=None)
_RELEASE_FUNC_DESC = Method("ReleaseFuncDesc", 20, c_void_p, returns=None)

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

# Parameter flags as an interface definition writes them.
_FLAG_NAMES = (
    (t.PARAMFLAG_FIN, "in"),
    (t.PARAMFLAG_FOUT, "out"),
    (t.PARAMFLAG_FLCID, "lcid"),
    (t.PARAMFLAG_FRETVAL, "retval"),
    (t.PARAMFLAG_FOPT, "optional"),
)
_KIND_NAMES = {t.INVOKE_PROPERTYGET: "[propget] ", t.INVOKE_PROPERTYPUT: "[propput] "}


def type_name(description: t.TYPEDESC) -> str:
    """A C-like spelling of an element type."""
    if description.vt == t.VT_PTR and description.lptdesc:
        return type_name(description.lptdesc.contents) + "*"
    if description.vt == t.VT_SAFEARRAY and description.lptdesc:
        return "SAFEARRAY(%s)" % type_name(description.lptdesc.contents)
    return _TYPE_NAMES.get(description.vt, "vt 0x%04X" % description.vt)


@dataclass(frozen=True)
class Parameter:
    """A parameter: its name (empty when the type information gives none), type and flags."""

    name: str
    type: str
    flags: tuple[str, ...]

    def declaration(self) -> str:
        """The parameter as an interface definition writes it: ``[in] long lines``."""
        return " ".join(part for part in ("[%s]" % ", ".join(self.flags or ("in",)), self.type, self.name) if part)


@dataclass
class Member:
    """A member: a method, or a property with its read and write kinds, and its
    declarations as the type information gives them."""

    name: str
    dispid: int
    help: str
    method: bool = False
    readable: bool = False
    writable: bool = False
    parameters: tuple[Parameter, ...] = ()  # those a caller passes
    returns: str = ""
    declarations: list[str] = field(default_factory=list)

    def kind(self) -> str:
        if self.method:
            return "method"
        return "property (%s)" % ", ".join(k for k, on in (("read", self.readable), ("write", self.writable)) if on)

    def signature(self) -> str:
        """The member as a Python caller sees it: name, parameters and the type it gives back."""
        if self.method:
            listed = ", ".join("%s: %s" % (p.name, p.type) for p in self.parameters)
            return "%s(%s)%s" % (self.name, listed, " -> " + self.returns if self.returns else "")
        return "%s: %s" % (self.name, self.returns)

    def docstring(self) -> str:
        """The signature, the help string and the declarations with their in/out/retval flags."""
        parts = [self.signature() if self.method else "%s, %s" % (self.signature(), self.kind())]
        if self.help:
            parts.append(self.help)
        parts.append("Declared as:\n" + "\n".join("    " + line for line in self.declarations))
        return "\n\n".join(parts)


@dataclass
class Description:
    """The interface a type information describes: its name, help string and members."""

    name: str
    help: str
    iid: str
    members: dict[str, Member]


def _documentation(info: Reference, memid: int) -> tuple[str, str]:
    name, text = c_void_p(), c_void_p()
    info.call(_GET_DOCUMENTATION, memid, ctypes.byref(name), ctypes.byref(text), None, None)
    return take_text(name.value), take_text(text.value)


def _names(info: Reference, memid: int, count: int) -> list[str]:
    names = (c_void_p * (count + 1))()
    found = c_uint32()
    info.call(_GET_NAMES, memid, names, count + 1, ctypes.byref(found))
    return [take_text(names[k]) for k in range(found.value)]


def _attributes(info: Reference) -> tuple[str, int, int]:
    """The identifier, function count and type flags of the type info."""
    attributes = c_void_p()
    info.call(_GET_TYPE_ATTR, ctypes.byref(attributes))
    try:
        attribute = t.TYPEATTR.from_address(attributes.value)
        return str(attribute.guid), attribute.cFuncs, attribute.wTypeFlags
    finally:
        info.call(_RELEASE_TYPE_ATTR, attributes)


def _functions(info: Reference, count: int):
    """Each function description of the type info but restricted ones, released after its turn."""
    for index in range(count):
        description = c_void_p()
        info.call(_GET_FUNC_DESC, index, ctypes.byref(description))
        try:
            function = t.FUNCDESC.from_address(description.value)
            if not function.wFuncFlags & t.FUNCFLAG_FRESTRICTED:
                yield function
        finally:
            info.call(_RELEASE_FUNC_DESC, description)


def _parameters(info: Reference, function: t.FUNCDESC) -> list[Parameter]:
    names = _names(info, function.memid, function.cParams)[1:]
    elements = function.lprgelemdescParam
    return [Parameter(names[k] if k < len(names) else "", type_name(elements[k].tdesc), _flags(elements[k].wParamFlags))
            for k in range(function.cParams)]


def _flags(bits: int) -> tuple[str, ...]:
    return tuple(name for flag, name in _FLAG_NAMES if bits & flag)


def _add_function(members: dict[str, Member], info: Reference, function: t.FUNCDESC) -> None:
    name, help_text = _documentation(info, function.memid)
    passed, returns = [], type_name(function.elemdescFunc.tdesc)
    for parameter in _parameters(info, function):
        if "retval" in parameter.flags:
            returns = parameter.type[:-1] if parameter.type.endswith("*") else parameter.type
        elif "lcid" not in parameter.flags:
            passed.append(parameter if parameter.name else Parameter("value", parameter.type, parameter.flags))
    if returns in ("HRESULT", "void"):
        returns = ""
    entry = members.setdefault(name, Member(name, function.memid, help_text))
    if function.invkind == t.INVOKE_FUNC or (function.invkind == t.INVOKE_PROPERTYGET and passed):
        entry.method, entry.parameters, entry.returns = True, tuple(passed), returns
    elif function.invkind == t.INVOKE_PROPERTYGET:
        entry.readable, entry.returns = True, returns
    else:
        entry.writable = True
        entry.returns = entry.returns or (passed[-1].type if passed else "")


def _declare(members: dict[str, Member], info: Reference, count: int) -> None:
    """Adds each function of the type info to its member's declarations, as an interface definition writes it."""
    by_dispid = {entry.dispid: entry for entry in members.values()}
    for function in _functions(info, count):
        entry = by_dispid.get(function.memid)
        if entry is not None:
            entry.declarations.append("%s%s %s(%s)" % (
                _KIND_NAMES.get(function.invkind, ""), type_name(function.elemdescFunc.tdesc), entry.name,
                ", ".join(p.declaration() for p in _parameters(info, function))))


def _table_view(info: Reference) -> Reference:
    """The table view of a dual interface's dispatch view: its members as declared."""
    handle, found = c_uint32(), c_void_p()
    info.call(_GET_REF_TYPE_OF_IMPL_TYPE, -1 & 0xFFFFFFFF, ctypes.byref(handle))
    info.call(_GET_REF_TYPE_INFO, handle, ctypes.byref(found))
    return Reference(found.value)


def describe(info: Reference) -> Description:
    """Reads the interface and its members (restricted ones left out) from type
    information; a dual interface's declarations come from its table view, which
    keeps the result codes and the [out, retval] parameters."""
    iid, count, flags = _attributes(info)
    members: dict[str, Member] = {}
    for function in _functions(info, count):
        _add_function(members, info, function)
    try:
        table = _table_view(info) if flags & t.TYPEFLAG_FDUAL else None
    except ComError:  # the dispatch view's declarations then, without result codes and retval parameters
        table = None
    if table is None:
        _declare(members, info, count)
    else:
        try:
            _declare(members, table, _attributes(table)[1])
        finally:
            table.release()
    name, help_text = _documentation(info, t.MEMBERID_NIL)
    return Description(name, help_text, iid, members)
