"""The registry as the package reads it: where its files are, what to do when a
class is not registered, and the automation classes it lists (those registered
with a ProgID and a type library)."""

from __future__ import annotations

import ctypes
from ctypes import byref, c_uint32, c_void_p
from pathlib import Path
from typing import NamedTuple

from ._platform import platform

_CLASSES_ROOT = c_void_p(-0x80000000 & 0xFFFFFFFFFFFFFFFF)  # HKEY_CLASSES_ROOT, sign-extended
_KEY_READ = 0x20019
_REG_SZ = 1
_NAME_LENGTH = 256  # the longest key name the registry keeps, with its terminator
REGISTRY_USER = 0
REGISTRY_MACHINE = 1
# The component's file, relative to the folder of the platform library.
COMPONENT_BESIDE_PLATFORM = "morvane/Morvane.so"


def registry_file(scope: int) -> str:
    """The path of the user's (``REGISTRY_USER``) or the machine's registry file.

    Returns "(no home folder)" when the user's file has no place.
    """
    size = platform.MorvaneRegistryFilePath(scope, None, 0)
    buffer = ctypes.create_string_buffer(size)
    length = platform.MorvaneRegistryFilePath(scope, buffer, size)
    path = buffer.raw[:length].decode(errors="surrogateescape") if length < size else ""
    return path or "(no home folder)"


def installed_component() -> str:
    """The component installed beside the platform library this package loaded."""
    library = Path(platform._name)
    if not library.is_absolute():
        return "<libdir>/" + COMPONENT_BESIDE_PLATFORM
    return str(library.resolve().parent / COMPONENT_BESIDE_PLATFORM)


def not_registered_text(class_name: str) -> str:
    """What to tell a user whose class is not registered: the files looked in and the commands."""
    component = installed_component()
    return ("the class %s is not registered in %s or %s; register the installed component with `regsvr %s` "
            "(for you) or, as root, `regsvr --machine %s` (for every user)"
            % (class_name, registry_file(REGISTRY_USER), registry_file(REGISTRY_MACHINE), component, component))


class RegisteredClass(NamedTuple):
    """A registered automation class: its ProgID, class identifier and description."""

    prog_id: str
    clsid: str
    description: str


class _Key:
    """A registry key opened for reading, closed when the block ends; a missing key reads as empty."""

    def __init__(self, parent: c_void_p, path: str) -> None:
        self.handle: c_void_p | None = c_void_p()
        if platform.RegOpenKeyExA(parent, path.encode(), 0, _KEY_READ, byref(self.handle)) != 0:
            self.handle = None

    def __enter__(self) -> _Key:
        return self

    def __exit__(self, *exception) -> None:
        if self.handle is not None:
            platform.RegCloseKey(self.handle)

    def subkeys(self) -> list[str]:
        """The names of the keys below this one."""
        names, name = [], ctypes.create_string_buffer(_NAME_LENGTH)
        while self.handle is not None:
            size = c_uint32(_NAME_LENGTH)
            if platform.RegEnumKeyExA(self.handle, len(names), name, byref(size), None, None, None, None) != 0:
                break  # no more keys, or none readable
            names.append(name.value.decode("utf-8", "replace"))
        return names

    def text(self, path: str) -> str | None:
        """The text default value of the key at path below this one, or None."""
        if self.handle is None:
            return None
        with _Key(self.handle, path) as key:
            kind, size = c_uint32(), c_uint32(0)
            if key.handle is None or platform.RegQueryValueExA(key.handle, None, None, byref(kind), None,
                                                               byref(size)) != 0 or kind.value != _REG_SZ:
                return None
            value = ctypes.create_string_buffer(size.value + 1)
            if platform.RegQueryValueExA(key.handle, None, None, byref(kind), value, byref(size)) != 0:
                return None
            return value.value.decode("utf-8", "replace")


def automation_classes() -> list[RegisteredClass]:
    """The classes registered with a ProgID and a type library, sorted by ProgID."""
    found = []
    with _Key(_CLASSES_ROOT, "CLSID") as classes:
        for clsid in classes.subkeys():
            prog_id = classes.text(clsid + "\\VersionIndependentProgID") or classes.text(clsid + "\\ProgID")
            if prog_id and classes.text(clsid + "\\TypeLib") is not None:
                found.append(RegisteredClass(prog_id, clsid, classes.text(clsid) or ""))
    return sorted(found)
