"""Proxies that call an object's members by name through IDispatch.

Each interface gets a proxy class with a Python property per property and a
method per method, read from the object's type information; a name's dispatch
ID is asked of GetIDsOfNames once per class and kept.
"""

from __future__ import annotations

import ctypes
import threading
from ctypes import POINTER, byref, c_int32, c_uint16, c_uint32, c_void_p

from . import _apartment, _variant
from . import _types as t
from ._interface import Reference, member
from ._platform import platform
from ._strings import take_text, wide
from ._typeinfo import Description, Member, describe
from .errors import ComError, failed

_GET_TYPE_INFO = (4, c_int32, (c_uint32, c_uint32, POINTER(c_void_p)))
_GET_IDS_OF_NAMES = (5, c_int32, (POINTER(t.GUID), POINTER(c_void_p), c_uint32, c_uint32, POINTER(c_int32)))
_INVOKE_ARGUMENTS = (
    c_int32,
    POINTER(t.GUID),
    c_uint32,
    c_uint16,
    POINTER(t.DISPPARAMS),
    POINTER(t.VARIANT),
    POINTER(t.EXCEPINFO),
    POINTER(c_uint32),
)
_UNKNOWN_NAME = (0x80020006, 0x80020003)  # DISP_E_UNKNOWNNAME, DISP_E_MEMBERNOTFOUND
_LOCALE = t.LOCALE_ENGLISH_US
_NO_ARGUMENTS = t.DISPPARAMS()
_PUT_NAME = c_int32(t.DISPID_PROPERTYPUT)


class DispatchObject:
    """An object reached by name: attribute reads and writes are property reads
    and writes, attribute calls are methods. close(), a with block or garbage
    collection releases the object once."""

    __slots__ = ("_reference", "_invoke", "__weakref__")
    _members: dict[str, Member] = {}
    _dispids: dict[str, int] = {}
    _description: Description | None = None

    def __init__(self, reference: Reference) -> None:
        object.__setattr__(self, "_reference", reference)
        object.__setattr__(self, "_invoke", member(reference.pointer, 6, c_int32, *_INVOKE_ARGUMENTS))

    # Lifetime.
    def close(self) -> None:
        """Releases the object; later calls raise ValueError."""
        self._reference.release()

    def __enter__(self) -> DispatchObject:
        return self

    def __exit__(self, *exception) -> None:
        self.close()

    def __dir__(self) -> list[str]:
        return sorted(self._members)

    def __repr__(self) -> str:
        name = self._description.name if self._description else "IDispatch"
        state = "closed" if self._reference.pointer is None else "0x%x" % self._reference.pointer
        return "<morvane %s object %s>" % (name, state)

    # Names the type information does not list are asked of the object.
    def __getattr__(self, name: str) -> object:
        if name.startswith("_"):
            raise AttributeError(name)
        dispid = self._dispid(name)
        try:
            return self._call(name, dispid, t.DISPATCH_PROPERTYGET, ())
        except ComError as error:
            if error.hresult != 0x80020003:  # not a property: a method
                raise
        return lambda *values: self._call(name, dispid, t.DISPATCH_METHOD, values)

    def __setattr__(self, name: str, value: object) -> None:
        if name.startswith("_") or name in self._members:
            object.__setattr__(self, name, value)
        else:
            self._call(name, self._dispid(name), t.DISPATCH_PROPERTYPUT, (value,))

    # Calls.
    def _dispid(self, name: str) -> int:
        known = self._dispids.get(name)
        if known is not None:
            return known
        _apartment.ensure()
        text = wide(name)
        names = (c_void_p * 1)(ctypes.addressof(text))
        found = c_int32()
        slot, result, arguments = _GET_IDS_OF_NAMES
        hresult = self._reference.call(slot, result, arguments, byref(t.IID_NULL), names, 1, _LOCALE, byref(found))
        if failed(hresult):
            if hresult & 0xFFFFFFFF in _UNKNOWN_NAME:
                raise AttributeError("%r has no member %r" % (self, name))
            raise ComError(hresult, member=name)
        self._dispids[name] = found.value
        return found.value

    def _get(self, name: str, dispid: int) -> object:
        """Reads a property: the fast path of a call without arguments."""
        pointer = self._reference.pointer
        if pointer is None:
            raise ValueError("the object has been closed")
        _apartment.ensure()
        result, failure = t.VARIANT(), t.EXCEPINFO()
        hresult = self._invoke(
            pointer, dispid, t.IID_NULL, _LOCALE, t.DISPATCH_PROPERTYGET, _NO_ARGUMENTS, result, failure, None
        )
        if hresult < 0:
            raise _error(hresult, failure, name)
        return _variant.take(result)

    def _call(self, name: str, dispid: int, flags: int, values: tuple, parameters: tuple = ()) -> object:
        pointer = self._reference.pointer
        if pointer is None:
            raise ValueError("the object has been closed")
        if flags == t.DISPATCH_PROPERTYPUT:
            labels = [name]
        else:
            labels = ["%s: argument %r" % (name, p.name) for p in parameters]
            labels += ["%s: argument %d" % (name, k + 1) for k in range(len(labels), len(values))]
        checked = [_variant.check_value(v, label) for v, label in zip(values, labels)]
        _apartment.ensure()
        count = len(checked)
        arguments = (t.VARIANT * count)()
        kept = []  # arrays passed in place, until their variants are cleared
        try:
            for k, value in enumerate(checked):  # the last argument comes first
                kept.append(_variant.fill(arguments[count - 1 - k], value))
            put = flags == t.DISPATCH_PROPERTYPUT
            block = t.DISPPARAMS(arguments, ctypes.pointer(_PUT_NAME) if put else None, count, 1 if put else 0)
            result, failure = t.VARIANT(), t.EXCEPINFO()
            hresult = self._invoke(pointer, dispid, t.IID_NULL, _LOCALE, flags, block, result, failure, None)
            if hresult < 0:
                raise _error(hresult, failure, name)
            return _variant.take(result)
        finally:
            for argument in arguments:
                platform.VariantClear(byref(argument))


def _error(hresult: int, failure: t.EXCEPINFO, name: str) -> ComError:
    """The error for a failed Invoke, with the member's record when it left one."""
    source = take_text(failure.bstrSource)
    message = take_text(failure.bstrDescription)
    take_text(failure.bstrHelpFile)
    if hresult & 0xFFFFFFFF == 0x80020009 and failure.scode:  # DISP_E_EXCEPTION carries the code
        hresult = failure.scode
    return ComError(hresult, message, source, name)


def _property(entry: Member) -> property:
    name = entry.name

    def read(self: DispatchObject) -> object:
        dispid = self._dispids.get(name)
        return self._get(name, self._dispid(name) if dispid is None else dispid)

    def write(self: DispatchObject, value: object) -> None:
        self._call(name, self._dispid(name), t.DISPATCH_PROPERTYPUT, (value,))

    return property(read if entry.readable else None, write if entry.writable else None, doc=entry.docstring())


def _method(entry: Member):
    name, parameters = entry.name, entry.parameters

    def call(self: DispatchObject, *values: object) -> object:
        return self._call(name, self._dispid(name), t.DISPATCH_METHOD, values, parameters)

    call.__name__ = call.__qualname__ = name
    call.__doc__ = entry.docstring()
    return call


_classes: dict[str, type] = {}
_classes_lock = threading.Lock()


def _proxy_class(description: Description) -> type:
    with _classes_lock:
        made = _classes.get(description.iid)
        if made is None:
            namespace: dict[str, object] = {
                "__slots__": (),
                "__doc__": description.help or DispatchObject.__doc__,
                "_members": description.members,
                "_dispids": {},
                "_description": description,
            }
            for entry in description.members.values():
                namespace[entry.name] = _method(entry) if entry.method else _property(entry)
            made = type(description.name or "DispatchObject", (DispatchObject,), namespace)
            _classes[description.iid] = made
        return made


def type_information(reference: Reference) -> Reference:
    """The type information of the object's dispatch interface."""
    found = c_void_p()
    slot, result, arguments = _GET_TYPE_INFO
    hresult = reference.call(slot, result, arguments, 0, _LOCALE, byref(found))
    if failed(hresult) or not found.value:
        raise ComError(hresult or 0x80004005, member="GetTypeInfo")
    return Reference(found.value)


def wrap(pointer: int) -> DispatchObject:
    """A proxy that takes over one reference on the IDispatch at pointer."""
    reference = Reference(pointer)
    try:
        info = type_information(reference)
    except ComError:
        # Without type information names still resolve through the object.
        return type("DispatchObject", (DispatchObject,), {"__slots__": (), "_dispids": {}})(reference)
    try:
        return _proxy_class(describe(info))(reference)
    finally:
        info.release()


def class_id(name_or_clsid: str) -> t.GUID:
    """The class identifier of a ProgID or of a braced identifier."""
    found = t.GUID()
    text = wide(name_or_clsid)
    convert = platform.CLSIDFromString if name_or_clsid.startswith("{") else platform.CLSIDFromProgID
    hresult = convert(text, byref(found))
    if failed(hresult):
        raise ComError(hresult, member=name_or_clsid)
    return found


def Dispatch(name_or_clsid: str) -> DispatchObject:
    """Creates an object of a registered class, named by ProgID or class identifier."""
    _apartment.ensure()
    created = c_void_p()
    hresult = platform.CoCreateInstance(
        byref(class_id(name_or_clsid)), None, t.CLSCTX_INPROC_SERVER, byref(t.IID_IDispatch), byref(created)
    )
    if failed(hresult):
        raise ComError(hresult, member=name_or_clsid)
    return wrap(created.value)
