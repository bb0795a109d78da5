"""python3 -m morvane: the registered classes, one class's members, usage; the
package installed into a virtual environment with pip."""

from __future__ import annotations

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import morvane

CHECKOUT = Path(__file__).resolve().parents[2]


def command(*arguments: str, **environment: str) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-m", "morvane", *arguments], capture_output=True, text=True,
                          env={**os.environ, "COLUMNS": "80", **environment})


def test_describe_lists_the_members():
    lines = command("describe", "Morvane.CoMorvane").stdout.splitlines()
    assert lines[:6] == [
        "Morvane.CoMorvane: IMorvane {B446F6D3-DFB4-4BD7-AB15-0ECAEE6FD3B1}",
        "  IMorvane Interface",
        "  [1] lines: long  property (read, write)",
        "      property lines",
        "      [propget] HRESULT lines([out, retval] long* pVal)",
        "      [propput] HRESULT lines([in] long pVal)"]
    assert lines[-3:] == [
        "  [13] match_residue: VARIANT  property (read)",
        "      property match_residue",
        "      [propget] HRESULT match_residue([out, retval] VARIANT* pVal)"]
    assert ("      HRESULT track_corners([in] VARIANT imgA, [in] VARIANT imgB, [in] VARIANT features, "
            "[out, retval] VARIANT* matches)") in lines


@pytest.mark.parametrize("registered, shown", [
    (True, "Morvane.CoMorvane  {0200236D-46C7-4C75-A2A1-8FEFAF32B081}  CoMorvane Class\n"),
    (False, "no automation classes are registered\n"),
])
def test_describe_without_a_name_lists_the_registered_classes(tmp_path, registered, shown):
    registry = os.environ["MORVANE_REGISTRY"] if registered else str(tmp_path / "empty.db")
    assert command("describe", MORVANE_REGISTRY=registry).stdout == shown


# The help texts are argparse's rendering of the parser's own strings; a missing command is refused.
def test_a_missing_command_is_refused_with_the_usage():
    shown = command()
    assert (shown.returncode, shown.stderr) == (2, """\
usage: python3 -m morvane [-h] COMMAND ...
python3 -m morvane: error: the following arguments are required: COMMAND
""")


def test_an_unregistered_class_is_named_with_the_registry_files_and_the_commands():
    component = os.environ["MORVANE_TEST_COMPONENT"]
    shown = command("describe", "No.Such")
    assert (shown.returncode, shown.stderr) == (1, (
        "morvane: No.Such: the class No.Such is not registered in %s or %s; register the installed component with "
        "`regsvr %s` (for you) or, as root, `regsvr --machine %s` (for every user) (REGDB_E_CLASSNOTREG 0x80040154)\n"
        % (os.environ["MORVANE_REGISTRY"], os.environ["MORVANE_MACHINE_REGISTRY"], component, component)))


def test_pip_installs_the_package_into_a_virtual_environment(tmp_path):
    # From a copy, so that the build leaves nothing in the checkout.
    source = shutil.copytree(CHECKOUT / "python", tmp_path / "source")
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", "--without-pip", tmp_path / "venv"],
                   check=True)
    python = tmp_path / "venv" / "bin" / "python"
    subprocess.run([python, "-m", "pip", "install", "--quiet", "--no-index", "--no-build-isolation", source],
                   check=True, capture_output=True)
    installed = Path(os.environ["MORVANE_TEST_COMPONENT"]).parents[1]  # <libdir>
    environment = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    run = [python, "-c", "import importlib.metadata, morvane; print(morvane.__file__, "
                         "importlib.metadata.version('morvane'), morvane.Tracker((9, 9), levels=0).half_window)"]
    found = subprocess.run(run, capture_output=True, text=True, cwd=tmp_path,
                           env={**environment, "MORVANE_PLATFORM": str(installed / "libmorvane-platform.so.1")})
    version = re.search(r"project\(Morvane VERSION (\S+)", (CHECKOUT / "CMakeLists.txt").read_text())[1]
    assert found.stdout == "%s %s (10, 10)\n" % (
        next((tmp_path / "venv" / "lib").glob("python3*/site-packages/morvane/__init__.py")), version)
    missing = subprocess.run(run, capture_output=True, text=True, cwd=tmp_path,
                             env={**environment, "MORVANE_PLATFORM": str(tmp_path / "none.so")})
    assert missing.stderr.splitlines()[-1] == (
        "ImportError: the Morvane runtime libmorvane-platform.so.1 could not be loaded (%s: cannot open shared object "
        "file: No such file or directory); MORVANE_PLATFORM names its file" % (tmp_path / "none.so"))
