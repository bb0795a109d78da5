"""Writes the seed corpus of the registry database fuzz target.

Each seed is a small registry database (512-byte pages) with one kind of
damage that a file edited outside the registry calls can hold.
Usage: make_registry_database_seeds.py DIR
"""
import os
import sqlite3
import sys

SCHEMA = """
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name BLOB NOT NULL,
    fold BLOB NOT NULL,
    written INTEGER NOT NULL,
    UNIQUE(parent, fold));
CREATE TABLE vals(
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    key INTEGER NOT NULL,
    name BLOB NOT NULL,
    fold BLOB NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, fold));
"""

ROOTS = ["HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
         "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"]


def key(db: sqlite3.Connection, parent: int, name: bytes) -> int:
    """Adds a key row and returns its identifier."""
    cursor = db.execute("INSERT INTO keys(parent, name, fold, written) VALUES (?, ?, ?, 0)",
                        (parent, name, name.upper()))
    return cursor.lastrowid


def value(db: sqlite3.Connection, owner: int, name: bytes, kind: int, data: bytes) -> None:
    """Adds a value row."""
    db.execute("INSERT INTO vals(key, name, fold, type, data) VALUES (?, ?, ?, ?, ?)",
               (owner, name, name.upper(), kind, data))


def registry(path: str) -> sqlite3.Connection:
    """A new registry database with its roots and a class registration."""
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA page_size = 512")
    db.executescript(SCHEMA)
    for number, root in enumerate(ROOTS, start=1):
        db.execute("INSERT INTO keys(id, parent, name, fold, written) VALUES (?, 0, ?, ?, 0)",
                   (number, root, root))
    db.execute("PRAGMA application_id = 1299599975")
    db.execute("PRAGMA user_version = 1")
    clsid = key(db, key(db, 1, b"CLSID"), b"{0200236D-46C7-4C75-A2A1-8FEFAF32B081}")
    value(db, clsid, b"", 1, b"CoMorvane Class\0")
    server = key(db, clsid, b"InprocServer32")
    value(db, server, b"", 1, b"/opt/morvane/lib/Morvane.so\0")
    value(db, server, b"ThreadingModel", 1, b"Both\0")
    return db


def main() -> None:
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    damages = {
        "plain": lambda db: None,
        "parent_cycle": lambda db: db.execute(
            "UPDATE keys SET parent = (SELECT max(id) FROM keys), name = CAST(name AS BLOB),"
            " fold = CAST(fold AS BLOB) WHERE id = 2"),
        "self_parent": lambda db: db.execute("UPDATE keys SET parent = id WHERE id = 8"),
        "long_key_name": lambda db: key(db, 8, b"k" * 300),
        "long_value_name": lambda db: db.execute(
            "INSERT INTO vals(key, name, fold, type, data) VALUES (8, zeroblob(16384), x'56', 1, x'00')"),
        "odd_types": lambda db: db.execute(
            "INSERT INTO vals(key, name, fold, type, data) VALUES (8, 12, 12, 'text', 3.5)"),
        "deep_chain": lambda db: db.execute(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 520)"
            " INSERT INTO keys(id, parent, name, fold, written)"
            " SELECT 1000 + i, CASE i WHEN 1 THEN 2 ELSE 999 + i END, x'6B', x'4B', 0 FROM n"),
    }
    for name, damage in damages.items():
        path = os.path.join(out, name)
        db = registry(path)
        damage(db)
        db.execute("VACUUM")
        db.close()


if __name__ == "__main__":
    main()
