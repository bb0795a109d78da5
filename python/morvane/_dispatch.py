"""Proxies that call an object's members by name through IDispatch.

Each interface gets a proxy class with a Python property per property and a
method per method, read from the object's type information and called by the
dispatch IDs it gives. Names it does not list are asked of GetIDsOfNames once
per class and kept.
"""

from __future__ import annotations

import ctypes
import inspect
import keyword
import threading
from ctypes import POINTER, byref, c_int32, c_uint16, c_uint32, c_void_p

from . import _apartment, _variant
from . import _types as t
from ._interface import Method, Reference
from ._platform import platform
from ._registry import not_registered_text
from ._strings import take_text, wide
from ._typeinfo import Description, Member, describe
from .errors import ComError, ResultCode, error_for

_GET_TYPE_INFO = Method("GetTypeInfo", 4, c_uint32, c_uint32, POINTER(c_void_p))
_GET_IDS_OF_NAMES = Method("GetIDsOfNames", 5, POINTER(t.GUID), POINTER(c_void_p), c_uint32, c_uint32,
                           POINTER(c_int32))
_INVOKE = Method("Invoke", 6, c_int32, POINTER(t.GUID), c_uint32, c_uint16, POINTER(t.DISPPARAMS),
                 POINTER(t.VARIANT), POINTER(t.EXCEPINFO), POINTER(c_uint32), returns=c_int32)
_UNKNOWN_NAME = (ResultCode.DISP_E_UNKNOWNNAME, ResultCode.DISP_E_MEMBERNOTFOUND)
_LOCALE = t.LOCALE_ENGLISH_US
_NO_ARGUMENTS = t.DISPPARAMS()
_PUT_NAME = c_int32(t.DISPID_PROPERTYPUT)


class DispatchObject:
    """An object reached by name: attribute reads and writes are property reads
    and writes, attribute calls are methods. close(), a with block or garbage
    collection releases the object once; a call in progress keeps it until it ends.

    The proxy's own names always mean the proxy's operations. A member whose
    name is one of them (close, or __enter__, __dir__ and the like) or a Python
    keyword is reached with an underscore appended: ``proxy.close_()``.
    """

    __slots__ = ("_reference", "_invoke", "__weakref__")
    _members: dict[str, Member] = {}
    _dispids: dict[str, int] = {}
    _description: Description | None = None

    def __init__(self, reference: Reference) -> None:
        object.__setattr__(self, "_reference", reference)
        object.__setattr__(self, "_invoke", _INVOKE.function(reference.pointer))

    # Lifetime.
    def close(self) -> None:
        """Releases the object, or lets the calls in progress release it; later calls raise ValueError."""
        self._reference.release()

    def __enter__(self) -> DispatchObject:
        return self

    def __exit__(self, *exception) -> None:
        self.close()

    def __dir__(self) -> list[str]:
        return sorted(self._members)

    def __repr__(self) -> str:
        name = self._description.name if self._description else "IDispatch"
        pointer = self._reference.pointer
        return "<morvane %s object %s>" % (name, "closed" if pointer is None else "0x%x" % pointer)

    # Names the type information does not list are asked of the object.
    def __getattr__(self, name: str) -> object:
        if name.startswith("_"):
            raise AttributeError(name)
        dispid = self._dispid(name)
        try:
            return self._call(name, dispid, t.DISPATCH_PROPERTYGET, ())
        except ComError as error:
            if error.hresult != ResultCode.DISP_E_MEMBERNOTFOUND:  # not a property: a method
                raise
        return lambda *values: self._call(name, dispid, t.DISPATCH_METHOD, values)

    def __setattr__(self, name: str, value: object) -> None:
        if name in self._members or name.startswith("_") or hasattr(type(self), name):
            object.__setattr__(self, name, value)  # a property's setter, or refused
        else:
            self._call(name, self._dispid(name), t.DISPATCH_PROPERTYPUT, (value,))

    # Calls.
    def _dispid(self, name: str) -> int:
        known = self._dispids.get(name)
        if known is not None:
            return known
        _apartment.ensure()
        text = wide(name, "member name")
        names = (c_void_p * 1)(ctypes.addressof(text))
        found = c_int32()
        try:
            self._reference.call(_GET_IDS_OF_NAMES, byref(t.IID_NULL), names, 1, _LOCALE, byref(found))
        except ComError as error:
            if error.hresult in _UNKNOWN_NAME:
                raise AttributeError("%r has no member %r" % (self, name)) from None
            raise error_for(error.hresult, member=name) from None
        self._dispids[name] = found.value
        return found.value

    def _get(self, name: str, dispid: int) -> object:
        """Reads a property: the fast path of a call without arguments."""
        pointer = self._reference.acquire()
        try:
            _apartment.ensure()
            result, failure = t.VARIANT(), t.EXCEPINFO()
            hresult = self._invoke(
                pointer, dispid, t.IID_NULL, _LOCALE, t.DISPATCH_PROPERTYGET, _NO_ARGUMENTS, result, failure, None
            )
            if hresult < 0:
                raise _error(hresult, failure, name)
            return _proxy_of(_variant.take(result))
        finally:
            self._reference.finish()

    def _call(self, name: str, dispid: int, flags: int, values: tuple, parameters: tuple = ()) -> object:
        # The pointer is held from before the arguments are converted (numpy
        # lets other threads run while it copies) until the result is taken.
        pointer = self._reference.acquire()
        try:
            if flags == t.DISPATCH_PROPERTYPUT:
                labels = [name]
            else:
                labels = ["%s: argument %r" % (name, p.name) for p in parameters]
                labels += ["%s: argument %d" % (name, k + 1) for k in range(len(labels), len(values))]
            checked = [_variant.check_value(v, label) for v, label in zip(values, labels)]
            _apartment.ensure()
            return _proxy_of(_variant.take(self._invoke_with(pointer, name, dispid, flags, checked)))
        finally:
            self._reference.finish()

    def _invoke_with(self, pointer: int, name: str, dispid: int, flags: int, checked: list) -> t.VARIANT:
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
            return result
        finally:
            # Variants over arrays passed in place own nothing; the others are cleared.
            for argument, borrowed in zip(arguments[::-1], kept):
                if borrowed is None:
                    platform.VariantClear(byref(argument))


def _error(hresult: int, failure: t.EXCEPINFO, name: str) -> ComError:
    """The error for a failed Invoke, with the member's record when it left one."""
    source = take_text(failure.bstrSource)
    message = take_text(failure.bstrDescription)
    take_text(failure.bstrHelpFile)
    if hresult & 0xFFFFFFFF == ResultCode.DISP_E_EXCEPTION and failure.scode:  # the member's own code
        hresult = failure.scode
    return error_for(hresult, message, source, name)


def _proxy_of(value: object) -> object:
    """A returned value, with an object in a proxy of its own."""
    return wrap(value) if isinstance(value, Reference) else value


def _property(entry: Member) -> property:
    name, dispid = entry.name, entry.dispid

    def read(self: DispatchObject) -> object:
        return self._get(name, dispid)

    def write(self: DispatchObject, value: object) -> None:
        self._call(name, dispid, t.DISPATCH_PROPERTYPUT, (value,))

    return property(read if entry.readable else None, write if entry.writable else None, doc=entry.docstring())


def _method(attribute: str, entry: Member):
    name, dispid, parameters = entry.name, entry.dispid, entry.parameters

    def call(self: DispatchObject, *values: object) -> object:
        return self._call(name, dispid, t.DISPATCH_METHOD, values, parameters)

    call.__name__ = call.__qualname__ = attribute
    call.__doc__ = entry.docstring()
    call.__signature__ = inspect.Signature(
        [inspect.Parameter("self", inspect.Parameter.POSITIONAL_ONLY)]
        + [inspect.Parameter(p.name if p.name.isidentifier() and not keyword.iskeyword(p.name) else "arg%d" % k,
                             inspect.Parameter.POSITIONAL_ONLY, annotation=p.type)
           for k, p in enumerate(parameters, 1)],
        return_annotation=entry.returns or inspect.Signature.empty)
    return call


def attribute_names(names: list[str]) -> dict[str, str]:
    """The Python attribute of each member name: the name itself, with underscores
    appended while it is a keyword, one of the proxy's own names or another member's."""
    taken, chosen = set(names), {}
    for name in names:
        attribute = name
        while keyword.iskeyword(attribute) or hasattr(DispatchObject, attribute) or (
                attribute != name and attribute in taken):
            attribute += "_"
        taken.add(attribute)
        chosen[attribute] = name
    return chosen


_classes: dict[str, type] = {}
_classes_lock = threading.Lock()


def _proxy_class(description: Description) -> type:
    with _classes_lock:
        made = _classes.get(description.iid)
        if made is None:
            members = {attribute: description.members[name]
                       for attribute, name in attribute_names(list(description.members)).items()}
            namespace: dict[str, object] = {
                "__slots__": (),
                "__doc__": "%s\n\n%s" % (description.help, DispatchObject.__doc__) if description.help
                else DispatchObject.__doc__,
                "_members": members,
                "_dispids": {},
                "_description": description,
            }
            for attribute, entry in members.items():
                namespace[attribute] = _method(attribute, entry) if entry.method else _property(entry)
            made = type(description.name or "DispatchObject", (DispatchObject,), namespace)
            _classes[description.iid] = made
        return made


def type_information(reference: Reference) -> Reference:
    """The type information of the object's dispatch interface."""
    found = c_void_p()
    reference.call(_GET_TYPE_INFO, 0, _LOCALE, byref(found))
    if not found.value:
        raise ComError(ResultCode.E_FAIL, member="GetTypeInfo")
    return Reference(found.value)


def wrap(reference: Reference) -> DispatchObject:
    """A proxy that takes over a reference on an object's IDispatch."""
    try:
        info = type_information(reference)
        try:
            description = describe(info)
        finally:
            info.release()
    except ComError:
        # Without type information names still resolve through the object.
        return type("DispatchObject", (DispatchObject,), {"__slots__": (), "_dispids": {}})(reference)
    return _proxy_class(description)(reference)


def class_id(name_or_clsid: str) -> t.GUID:
    """The class identifier of a ProgID or of a braced identifier; ValueError for a NUL in it."""
    found = t.GUID()
    text = wide(name_or_clsid, "class name")
    convert = platform.CLSIDFromString if name_or_clsid.startswith("{") else platform.CLSIDFromProgID
    convert(text, byref(found))
    return found


def Dispatch(name_or_clsid: str) -> DispatchObject:
    """Creates an object of a registered class, named by ProgID or class identifier.

    Returns a proxy over the object's IDispatch. Raises ComError naming the class
    when it cannot be created, ValueError for a name that holds a NUL character.
    """
    _apartment.ensure()
    created = c_void_p()
    try:
        platform.CoCreateInstance(byref(class_id(name_or_clsid)), None, t.CLSCTX_INPROC_SERVER,
                                  byref(t.IID_IDispatch), byref(created))
    except ComError as error:
        unregistered = error.hresult == ResultCode.REGDB_E_CLASSNOTREG
        message = not_registered_text(name_or_clsid) if unregistered else ""
        raise error_for(error.hresult, message, member=name_or_clsid) from None
    return wrap(Reference(created.value))
