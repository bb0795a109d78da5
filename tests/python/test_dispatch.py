"""Members by name: properties, refusals, names, errors, lifetime, threads and fork."""

from __future__ import annotations

import dataclasses
import inspect
import subprocess
import sys

import numpy as np
import pytest

import morvane
from morvane import _variant
from morvane._dispatch import _proxy_class
from morvane._interface import ADD_REF, RELEASE
from morvane._typeinfo import Description
from morvane._types import IID_IDispatch


def test_a_refused_write_raises_with_the_record_and_keeps_the_value(tracker_object):
    tracker_object.stop_epsilon = 0.25
    with pytest.raises(ValueError) as caught:
        tracker_object.stop_epsilon = -0.5
    assert isinstance(caught.value, morvane.ComError)
    assert (caught.value.hresult, caught.value.source, str(caught.value)) == (
        0x80070057, "Morvane.CoMorvane.1",
        "stop_epsilon: Epsilon stop valoue must be a positive number (E_INVALIDARG 0x80070057)")
    assert tracker_object.stop_epsilon == 0.25


# What the caller got wrong is also a TypeError or ValueError; the object's own failures are not.
@pytest.mark.parametrize("action, kind, text", [
    (lambda o: setattr(o, "lines", "many"), TypeError, "lines: DISP_E_TYPEMISMATCH 0x80020005"),
    (lambda o: o.create_morvane(1), TypeError, "create_morvane: DISP_E_BADPARAMCOUNT 0x8002000E"),
    (lambda o: o.match_residue, morvane.ComError,
     "match_residue: Object not allocated. Please invoke 'create_morvane()'. (E_FAIL 0x80004005)"),
])
def test_failures_are_python_errors_of_their_kind(tracker_object, action, kind, text):
    with pytest.raises(morvane.ComError) as caught:
        action(tracker_object)
    assert str(caught.value) == text
    assert [k for k in (TypeError, ValueError) if isinstance(caught.value, k)] == (
        [] if kind is morvane.ComError else [kind])


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


# A NUL would end the name early and name another class or member; UTF-16 cannot hold a lone surrogate.
@pytest.mark.parametrize("action, message", [
    (lambda o: morvane.Dispatch("Morvane.CoMorvane\0junk"), r"class name: 'Morvane.CoMorvane\\x00junk' holds a NUL"),
    (lambda o: getattr(o, "lines\0"), r"member name: 'lines\\x00' holds a NUL"),
    (lambda o: morvane.Dispatch("Morvane.\udc80"), r"class name: 'Morvane.\\udc80' holds a lone surrogate at index 8"),
    (lambda o: o.track_corners("\ud800", 1, 2), r"track_corners: argument 'imgA': '\\ud800' holds a lone surrogate"),
])
def test_names_and_strings_utf16_cannot_carry_are_refused(tracker_object, action, message):
    with pytest.raises(ValueError, match="^" + message):
        action(tracker_object)


def test_names_and_help_come_from_the_type_information(tracker_object):
    assert dir(tracker_object) == [
        "calc_match_residue", "columns", "create_morvane", "destroy_morvane", "feature_height",
        "feature_width", "lines", "match_residue", "max_features", "pyramid_levels", "stop_epsilon",
        "stop_iterations", "track_corners"]
    assert type(tracker_object).stop_epsilon.__doc__ == (
        "stop_epsilon: float, property (read, write)\n\nproperty stop_epsilon\n\nDeclared as:\n"
        "    [propget] HRESULT stop_epsilon([out, retval] float* pVal)\n"
        "    [propput] HRESULT stop_epsilon([in] float pVal)")
    assert str(inspect.signature(type(tracker_object).track_corners)) == (
        "(self, imgA: 'VARIANT', imgB: 'VARIANT', features: 'VARIANT', /) -> 'VARIANT'")
    # Other spellings are resolved by the object itself, as properties or methods.
    assert (tracker_object.LINES, tracker_object.CREATE_MORVANE()) == (144, None)
    with pytest.raises(AttributeError, match="has no member 'no_such_member'"):
        tracker_object.no_such_member
    for name in ("no_such_member", "match_residue", "close"):
        with pytest.raises(AttributeError):
            setattr(tracker_object, name, 1)


def test_members_named_like_the_proxys_own_operations_stay_reachable(tracker_object):
    # An interface whose members, named close, close_, with and __exit__, are
    # the tracker's lines, max_features, columns and create_morvane.
    members = tracker_object._members
    renamed = {new: dataclasses.replace(members[old], name=new) for new, old in
               [("close", "lines"), ("close_", "max_features"), ("with", "columns"), ("__exit__", "create_morvane")]}
    shadowing = _proxy_class(Description("IShadowing", "", "{5E6B0A41-0000-4000-8000-00000000C105}", renamed))
    proxy = shadowing(tracker_object._reference.query(IID_IDispatch))
    assert dir(proxy) == ["__exit___", "close_", "close__", "with_"]
    assert (proxy.close__, proxy.close_, proxy.with_, proxy.__exit___()) == (144, 400, 192, None)
    assert shadowing.close__.__doc__.startswith("close: long, property (read, write)\n")
    with proxy:
        pass
    with pytest.raises(ValueError, match="closed"):
        proxy.close__


def test_a_class_identifier_names_the_class():
    assert morvane.Dispatch("{0200236D-46C7-4C75-A2A1-8FEFAF32B081}").columns == 192


@pytest.mark.parametrize("finish", ["close", "with", "collect"])
def test_a_proxy_holds_one_reference_until_it_goes(finish):
    proxy = morvane.Dispatch("Morvane.CoMorvane")
    pointer = proxy._reference.pointer
    assert ADD_REF(pointer) == 2
    if finish == "collect":
        del proxy
    else:
        with proxy:
            pass
        if finish == "close":
            proxy.close()  # a second close does nothing
        with pytest.raises(ValueError, match="closed"):
            proxy.lines
        assert "closed" in repr(proxy)
    assert RELEASE(pointer) == 0


def test_close_during_a_call_releases_when_the_call_ends(tracker_object, monkeypatch):
    pointer = tracker_object._reference.pointer
    ADD_REF(pointer)  # the test's own, to count the proxy's
    counted, fill = [], _variant.fill

    def close_while_converting(target, value):
        # Another thread's close(), in the gap numpy leaves while it copies the arguments.
        tracker_object.close()
        counted.append(ADD_REF(pointer))
        RELEASE(pointer)
        return fill(target, value)

    monkeypatch.setattr(_variant, "fill", close_while_converting)
    tracker_object.lines = 240
    assert counted == [3]  # the proxy's, the test's and the one just added
    with pytest.raises(ValueError, match="closed"):
        tracker_object.lines = 480
    assert RELEASE(pointer) == 0


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


FORKED = """
import os, threading, morvane
def use():
    with morvane.Dispatch("Morvane.CoMorvane") as tracker:
        return tracker.lines
used, finish = threading.Event(), threading.Event()
worker = threading.Thread(target=lambda: (use(), used.set(), finish.wait()))
worker.start(), used.wait()
use()
child = os.fork()
if child == 0:
    try:
        print("child", use(), flush=True)
    finally:
        os._exit(0)
os.waitpid(child, 0)
finish.set(), worker.join()
"""


def test_a_child_forked_beside_a_live_thread_works():
    shown = subprocess.run([sys.executable, "-c", FORKED], capture_output=True, text=True, check=True)
    assert shown.stdout == "child 144\n"
