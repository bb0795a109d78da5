"""Where the registry files are, and what to do when a class is not registered."""

from __future__ import annotations

import ctypes
from pathlib import Path

from ._platform import library_path, platform

REGISTRY_USER = 0
REGISTRY_MACHINE = 1
# The component's file, relative to the folder of the platform library.
COMPONENT_BESIDE_PLATFORM = "Morvane.so"

_file_path = platform.MorvaneRegistryFilePath
_file_path.restype = ctypes.c_uint32
_file_path.argtypes = [ctypes.c_uint32, ctypes.c_char_p, ctypes.c_uint32]


def registry_file(scope: int) -> str:
    """The path of the user's (``REGISTRY_USER``) or the machine's registry file.

    Returns "(no home folder)" when the user's file has no place.
    """
    size = _file_path(scope, None, 0)
    buffer = ctypes.create_string_buffer(size)
    length = _file_path(scope, buffer, size)
    path = buffer.raw[:length].decode(errors="surrogateescape") if length < size else ""
    return path or "(no home folder)"


def installed_component() -> str:
    """The component installed beside the platform library this package loaded.

    Falls back to the name alone when the library was found by the loader's search.
    """
    library = Path(library_path())
    if not library.is_absolute():
        return "<prefix>/lib/" + COMPONENT_BESIDE_PLATFORM
    return str(library.resolve().parent / COMPONENT_BESIDE_PLATFORM)


def not_registered_text(class_name: str) -> str:
    """What to tell a user whose class is not registered: the files looked in and the commands."""
    component = installed_component()
    return (
        "the class %s is not registered in %s or %s; register the installed component with `regsvr %s` "
        "(for you) or, as root, `regsvr --machine %s` (for every user)"
        % (class_name, registry_file(REGISTRY_USER), registry_file(REGISTRY_MACHINE), component, component)
    )
