"""The platform runtime library and the functions of it that the package calls.

The library of the installation this package belongs to is used
(``<prefix>/lib/python3/dist-packages/morvane`` -> ``<prefix>/lib``);
``MORVANE_PLATFORM`` names another file.
"""

from __future__ import annotations

import ctypes
import os
from ctypes import POINTER, c_int32, c_uint16, c_uint32, c_void_p
from pathlib import Path

from ._types import GUID, SAFEARRAYBOUND, VARIANT

LIBRARY_NAME = "libmorvane-platform.so"


def library_path() -> str:
    """The file to load: ``MORVANE_PLATFORM``, else the installation's, else the loader's search."""
    chosen = os.environ.get("MORVANE_PLATFORM")
    if chosen:
        return chosen
    installed = Path(__file__).resolve().parents[3] / LIBRARY_NAME
    return str(installed) if installed.is_file() else LIBRARY_NAME


def _load() -> ctypes.CDLL:
    library = ctypes.CDLL(library_path())
    signatures = {
        "CoInitializeEx": (c_int32, [c_void_p, c_uint32]),
        "CoUninitialize": (None, []),
        "CoCreateInstance": (c_int32, [POINTER(GUID), c_void_p, c_uint32, POINTER(GUID), POINTER(c_void_p)]),
        "CLSIDFromProgID": (c_int32, [c_void_p, POINTER(GUID)]),
        "CLSIDFromString": (c_int32, [c_void_p, POINTER(GUID)]),
        "SysAllocStringLen": (c_void_p, [c_void_p, c_uint32]),
        "SysFreeString": (None, [c_void_p]),
        "SysStringLen": (c_uint32, [c_void_p]),
        "VariantClear": (c_int32, [POINTER(VARIANT)]),
        "SafeArrayCreate": (c_void_p, [c_uint16, c_uint32, POINTER(SAFEARRAYBOUND)]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library


platform = _load()
