"""python3 -m morvane describe [NAME]: the registered automation classes, or one class's members."""

from __future__ import annotations

import argparse
import os
import sys

from ._dispatch import Dispatch
from ._registry import automation_classes
from .errors import ComError, ResultCode


def describe(name: str) -> str:
    """The members of a registered class's dispatch interface, one per line, with
    their help strings and declarations. Raises ComError when the class cannot be
    created or has no readable type information."""
    with Dispatch(name) as instance:
        description = instance._description
        if description is None:
            raise ComError(ResultCode.TYPE_E_LIBNOTREGISTERED, "the class has no readable type information",
                           member=name)
    lines = ["%s: %s %s" % (name, description.name, description.iid)]
    if description.help:
        lines.append("  " + description.help)
    for entry in sorted(description.members.values(), key=lambda m: (m.dispid, m.name)):
        lines.append("  [%d] %s" % (entry.dispid, entry.signature() if entry.method else
                                     "%s  %s" % (entry.signature(), entry.kind())))
        lines.extend("      " + text for text in ([entry.help] if entry.help else []) + entry.declarations)
    return "\n".join(lines)


def listing() -> str:
    """The registered automation classes, one per line: ProgID, class identifier, description."""
    classes = automation_classes()
    if not classes:
        return "no automation classes are registered"
    width = max(len(c.prog_id) for c in classes)
    return "\n".join("%-*s  %s  %s" % (width, c.prog_id, c.clsid, c.description) for c in classes)


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python3 -m morvane",
        description="Shows the automation classes registered with the Morvane runtime.")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")
    shown = commands.add_parser(
        "describe", help="list the registered classes, or one class's members",
        description="Without NAME, lists the registered automation classes; with NAME, the members of that "
                    "class's dispatch interface as its type information describes them.")
    shown.add_argument("name", nargs="?", metavar="NAME",
                       help="a ProgID (Morvane.CoMorvane) or a class identifier in braces")
    options = parser.parse_args(argv)
    try:
        print(describe(options.name) if options.name else listing())
    except (ComError, ValueError) as error:
        print("morvane: %s" % error, file=sys.stderr)
        return 1
    except BrokenPipeError:
        # The reader (a pager, head) stopped early; say nothing more at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
