"""Command line: ``python3 -m morvane describe PROGID_OR_CLSID``."""

from __future__ import annotations

import argparse
import os
import sys

from ._dispatch import Dispatch
from .errors import ComError


def describe(name: str) -> str:
    """The members of a registered class's dispatch interface, one per line."""
    with Dispatch(name) as instance:
        description = instance._description
        if description is None:
            raise ComError(0x8002801D, "the class has no readable type information", member=name)
    lines = ["%s: %s %s" % (name, description.name, description.iid)]
    if description.help:
        lines.append("  " + description.help)
    for entry in sorted(description.members.values(), key=lambda m: (m.dispid, m.name)):
        lines.append("  [%d] %s  %s" % (entry.dispid, entry.signature(), entry.kind()))
        if entry.help:
            lines.append("      " + entry.help)
    return "\n".join(lines)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="python3 -m morvane", description=__doc__)
    commands = parser.add_subparsers(dest="command", required=True)
    shown = commands.add_parser("describe", help="list a registered class's members from its type information")
    shown.add_argument("name", help="ProgID (Morvane.CoMorvane) or class identifier in braces")
    options = parser.parse_args(argv)
    try:
        print(describe(options.name))
    except ComError as error:
        print("morvane: %s" % error, file=sys.stderr)
        return 1
    except BrokenPipeError:
        # The reader (a pager, head) stopped early; say nothing more at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
