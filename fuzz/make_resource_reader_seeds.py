"""Writes the resource reader fuzz seeds: small ELF64 files with and without resources."""
import os
import pathlib
import struct
import sys


def padded(data: bytes, alignment: int = 8) -> bytes:
    """The data with zeros up to a multiple of the alignment."""
    return data + b"\0" * (-len(data) % alignment)


def directory(entries: list) -> bytes:
    """A resource directory of (type, name, language, data); ids are ints or strings."""
    strings = b""
    base = 16 + 24 * len(entries)

    def ident(value) -> int:
        nonlocal strings
        if isinstance(value, int):
            return value
        offset = base + len(strings)
        strings += value.encode() + b"\0"
        return 0x80000000 | offset

    ids = [(ident(kind), ident(name)) for kind, name, _, _ in entries]
    body, records = padded(strings), b""
    for (kind, name), (_, _, language, data) in zip(ids, entries):
        records += struct.pack("<IIIIII", kind, name, language, 0, base + len(body), len(data))
        body += padded(data)
    return b"MVRSRC01" + struct.pack("<II", len(entries), 0) + records + body


def elf(sections: list) -> bytes:
    """An ELF64 file of the (name, data) sections, a section name table and the headers."""
    names, offsets, body = b"\0", [], b""
    for name, data in sections:
        offsets.append((len(names), 64 + len(body)))
        names += name.encode() + b"\0"
        body += padded(data)
    names_name = len(names)
    names += b".shstrtab\0"
    names_offset = 64 + len(body)
    body += padded(names)
    count = len(sections) + 2
    ident = b"\x7fELF" + bytes([2, 1, 1, 0]) + b"\0" * 8
    header = ident + struct.pack("<HHIQQQIHHHHHH", 3, 62, 1, 0, 0, 64 + len(body), 0, 64, 0, 0, 64, count, count - 1)
    table = b"\0" * 64
    for (name, data), (name_at, offset) in zip(sections, offsets):
        table += struct.pack("<IIQQQQIIQQ", name_at, 1, 2, 0, offset, len(data), 0, 0, 8, 0)
    table += struct.pack("<IIQQQQIIQQ", names_name, 3, 0, 0, names_offset, len(names), 0, 0, 1, 0)
    return header + body + table


SEEDS = {
    "registry_and_typelib": elf([(".text", b"\xc3" * 16), (".mvrsrc", directory([
        ("REGISTRY", 101, 1033, b"HKCR\r\n{\r\n\tX = s 'y'\r\n}\r\n"),
        ("TYPELIB", 1, 1033, bytes(range(64)))]))]),
    "named_resources": elf([(".mvrsrc", directory([
        ("TYPE", "NAME", 0, b"named"), (3, 2, 1031, b""), (3, 2, 0, b"neutral")]))]),
    "no_resources": elf([(".data", b"\1\2\3\4")]),
    "empty_directory": elf([(".mvrsrc", directory([]))]),
}

if __name__ == "__main__":  # usage: make_resource_reader_seeds.py DIR
    os.makedirs(sys.argv[1], exist_ok=True)
    for seed, content in SEEDS.items():
        pathlib.Path(sys.argv[1], seed).write_bytes(content)
