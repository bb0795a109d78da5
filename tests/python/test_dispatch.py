"""Members by name: properties, refusals, names, errors, lifetime."""

from __future__ import annotations

import ctypes
import gc
import os
import shutil
import subprocess
import sys

import numpy as np
import pytest

import morvane
from morvane._interface import member


def test_a_refused_write_raises_with_the_record_and_keeps_the_value(tracker_object):
    tracker_object.stop_epsilon = 0.25
    with pytest.raises(morvane.ComError) as caught:
        tracker_object.stop_epsilon = -0.5
    assert (caught.value.hresult, caught.value.source, str(caught.value)) == (
        0x80070057, "Morvane.CoMorvane.1",
        "stop_epsilon: Epsilon stop valoue must be a positive number (E_INVALIDARG 0x80070057)")
    assert tracker_object.stop_epsilon == 0.25


def test_values_are_converted_to_the_member_types(tracker_object):
    tracker_object.calc_match_residue, tracker_object.lines, tracker_object.stop_epsilon = True, np.int64(480), 2
    assert (tracker_object.calc_match_residue, tracker_object.lines, tracker_object.stop_epsilon) == (-1, 480, 2.0)
    with pytest.raises(OverflowError, match="^lines: 2147483648 is outside the 32-bit range$"):
        tracker_object.lines = 2**31


def test_unsupported_arguments_are_refused_before_the_call(tracker_object):
    frame, points = np.zeros((192, 144), np.uint8), np.zeros((1, 2))
    for arguments, refused in [((frame.astype(np.int64), frame, points), "argument 'imgA': arrays of int64"),
                               ((frame, frame.reshape(192, 144, 1), points), "argument 'imgB': arrays of 3 dimensions"),
                               ((frame, frame, [1.0, 2.0]), "argument 'features': a list")]:
        with pytest.raises(TypeError, match=f"^track_corners: {refused} cannot be passed"):
            tracker_object.track_corners(*arguments)


def test_names_and_help_come_from_the_type_information(tracker_object):
    assert dir(tracker_object) == [
        "calc_match_residue", "columns", "create_morvane", "destroy_morvane", "feature_height",
        "feature_width", "lines", "match_residue", "max_features", "pyramid_levels", "stop_epsilon",
        "stop_iterations", "track_corners"]
    assert type(tracker_object).stop_epsilon.__doc__ == "stop_epsilon: float\n\nproperty stop_epsilon"
    # Other spellings are resolved by the object itself, as properties or methods.
    assert (tracker_object.LINES, tracker_object.CREATE_MORVANE()) == (144, None)
    with pytest.raises(AttributeError, match="has no member 'no_such_member'"):
        tracker_object.no_such_member
    for name in ("no_such_member", "match_residue"):
        with pytest.raises(AttributeError):
            setattr(tracker_object, name, 1)


def test_a_class_identifier_names_the_class():
    assert morvane.Dispatch("{0200236D-46C7-4C75-A2A1-8FEFAF32B081}").columns == 192


@pytest.mark.parametrize("finish", ["close", "with", "collect"])
def test_a_proxy_holds_one_reference_until_it_goes(finish):
    proxy = morvane.Dispatch("Morvane.CoMorvane")
    pointer = proxy._reference.pointer
    add_ref, release = member(pointer, 1, ctypes.c_uint32), member(pointer, 2, ctypes.c_uint32)
    assert add_ref(pointer) == 2
    if finish == "collect":
        del proxy
        gc.collect()
    else:
        with proxy:
            pass
        if finish == "close":
            proxy.close()  # a second close does nothing
        with pytest.raises(ValueError, match="closed"):
            proxy.lines
        assert "closed" in repr(proxy)
    assert release(pointer) == 0


UNINITIALISED = """
import atexit, threading
loaded = lambda: "Morvane.so" in open("/proc/self/maps").read()
atexit.register(lambda: print("at exit", loaded()))  # runs after the package's own handler
import morvane
def use():
    with morvane.Dispatch("Morvane.CoMorvane") as tracker:
        tracker.lines
    print("in the thread", loaded())
worker = threading.Thread(target=use)
worker.start(), worker.join()
print("after the thread", loaded())
use()
"""


def test_threads_uninitialise_as_they_end_and_the_main_thread_at_exit():
    shown = subprocess.run([sys.executable, "-c", UNINITIALISED], capture_output=True, text=True, check=True)
    assert shown.stdout == "in the thread True\nafter the thread False\nin the thread True\nat exit False\n"


UNREGISTERED = """
import morvane, ctypes
from morvane._platform import platform
from morvane._types import GUID
unregister = platform.UnRegisterTypeLib
unregister.argtypes = [ctypes.POINTER(GUID), ctypes.c_uint16, ctypes.c_uint16, ctypes.c_uint32, ctypes.c_int]
assert unregister(GUID.parse("{CABD0863-DC3C-4E64-A27D-D5B832E8947B}"), 1, 0, 0x409, 3) == 0
tracker = morvane.Dispatch("Morvane.CoMorvane")
print(dir(tracker))
tracker.lines
"""


def test_an_unregistered_type_library_fails_every_lookup(tmp_path):
    registry = shutil.copy(os.environ["MORVANE_REGISTRY"], tmp_path / "registry.db")
    shown = subprocess.run([sys.executable, "-c", UNREGISTERED], capture_output=True, text=True,
                           env={**os.environ, "MORVANE_REGISTRY": str(registry)})
    assert shown.stdout == "[]\n"
    assert shown.stderr.endswith("morvane.errors.ComError: lines: TYPE_E_LIBNOTREGISTERED 0x8002801D\n")


def test_describe_lists_the_members():
    shown = subprocess.run([sys.executable, "-m", "morvane", "describe", "Morvane.CoMorvane"],
                           capture_output=True, text=True, check=True)
    lines = shown.stdout.splitlines()
    assert lines[0] == "Morvane.CoMorvane: IMorvane {B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1}"
    assert "  [13] match_residue: VARIANT  property (read)" in lines and len(lines) == 2 + 2 * 13
    refused = subprocess.run([sys.executable, "-m", "morvane", "describe", "No.Such"], capture_output=True, text=True)
    assert (refused.returncode, refused.stderr) == (1, "morvane: No.Such: REGDB_E_CLASSNOTREG 0x80040154\n")
