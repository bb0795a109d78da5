"""The platform runtime library and the prototypes of the functions the package calls.

The library is looked for, in this order: the file ``MORVANE_PLATFORM`` names;
the library of the installation this package belongs to
(``<prefix>/lib/python3/dist-packages/morvane`` -> ``<prefix>/lib/<multiarch>``
under /usr, ``<prefix>/lib`` elsewhere); the standard installation folders; the
loader's own search.
"""

from __future__ import annotations

import ctypes
import os
import sysconfig
from ctypes import POINTER, c_char_p, c_int32, c_uint16, c_uint32, c_void_p
from pathlib import Path

from ._types import GUID, SAFEARRAYBOUND, VARIANT
from .errors import error_for, failed

LIBRARY_NAME = "libmorvane-platform.so.1"
# Debian's multiarch folder name, such as x86_64-linux-gnu ("" where Python has none).
MULTIARCH = sysconfig.get_config_var("MULTIARCH") or ""
STANDARD_FOLDERS = (Path("/usr/local/lib"), Path("/usr/lib") / MULTIARCH)


def library_candidates() -> list[str]:
    """The files to try, in order: MORVANE_PLATFORM alone when it is set."""
    chosen = os.environ.get("MORVANE_PLATFORM")
    if chosen:
        return [chosen]
    installation = Path(__file__).resolve().parent.parent.parent.parent
    folders = (installation / MULTIARCH, installation, *STANDARD_FOLDERS)
    found = [str(folder / LIBRARY_NAME) for folder in folders if (folder / LIBRARY_NAME).is_file()]
    return found + [LIBRARY_NAME]


def _load() -> ctypes.CDLL:
    tried = []
    for candidate in library_candidates():
        try:
            return ctypes.CDLL(candidate)
        except OSError as error:
            tried.append(str(error))
    raise ImportError("the Morvane runtime %s could not be loaded (%s); MORVANE_PLATFORM names its file"
                      % (LIBRARY_NAME, "; ".join(tried)))


def _result_code(result: int, function, arguments: tuple) -> int:
    """errcheck of the functions that return a result code: raises on a failure."""
    if failed(result):
        raise error_for(result, member=function.__name__)
    return result


def _allocation(result: int | None, function, arguments: tuple) -> int:
    """errcheck of the functions that return new memory: raises MemoryError on null."""
    if not result:
        raise MemoryError("%s: out of memory" % function.__name__)
    return result


# name: (result type, argument types, errcheck). The registry's functions
# return statuses that callers branch on (a missing key is no failure there).
_PROTOTYPES = {
    "CoInitializeEx": (c_int32, [c_void_p, c_uint32], _result_code),
    "CoUninitialize": (None, [], None),
    "CoCreateInstance": (c_int32, [POINTER(GUID), c_void_p, c_uint32, POINTER(GUID), POINTER(c_void_p)], _result_code),
    "CLSIDFromProgID": (c_int32, [c_void_p, POINTER(GUID)], _result_code),
    "CLSIDFromString": (c_int32, [c_void_p, POINTER(GUID)], _result_code),
    "SysAllocStringLen": (c_void_p, [c_void_p, c_uint32], _allocation),
    "SysFreeString": (None, [c_void_p], None),
    "SysStringLen": (c_uint32, [c_void_p], None),
    "VariantClear": (c_int32, [POINTER(VARIANT)], _result_code),
    "SafeArrayCreate": (c_void_p, [c_uint16, c_uint32, POINTER(SAFEARRAYBOUND)], _allocation),
    "RegOpenKeyExA": (c_int32, [c_void_p, c_char_p, c_uint32, c_uint32, POINTER(c_void_p)], None),
    "RegEnumKeyExA": (c_int32, [c_void_p, c_uint32, c_char_p, POINTER(c_uint32), c_void_p, c_void_p, c_void_p,
                                c_void_p], None),
    "RegQueryValueExA": (c_int32, [c_void_p, c_char_p, c_void_p, POINTER(c_uint32), c_char_p, POINTER(c_uint32)],
                         None),
    "RegCloseKey": (c_int32, [c_void_p], None),
    "MorvaneRegistryFilePath": (c_uint32, [c_uint32, c_char_p, c_uint32], None),
}


def declare(library: ctypes.CDLL, prototypes: dict) -> ctypes.CDLL:
    """Sets each named function's result type, argument types and errcheck (None: none); returns library."""
    for name, (result, arguments, errcheck) in prototypes.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
        if errcheck is not None:
            function.errcheck = errcheck
    return library


platform = declare(_load(), _PROTOTYPES)
