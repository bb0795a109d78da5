"""Writes the registry database fuzz seeds (usage: make_registry_database_seeds.py DIR): the
committed plain database (seven roots, one class registration, keys 8 to 10) damaged one way each.
"""
import os
import shutil
import sqlite3
import sys

PLAIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "registry_database", "plain")

DAMAGES = {
    "parent_cycle": "UPDATE keys SET parent = (SELECT max(id) FROM keys), name = CAST(name AS BLOB),"
                    " fold = CAST(fold AS BLOB) WHERE id = 2",
    "self_parent": "UPDATE keys SET parent = id WHERE id = 8",
    "long_key_name": "INSERT INTO keys(parent, name, fold, written) VALUES (8,"
                     " CAST(replace(hex(zeroblob(150)), '0', 'k') AS BLOB),"
                     " CAST(replace(hex(zeroblob(150)), '0', 'K') AS BLOB), 0)",
    "long_value_name": "INSERT INTO vals(key, name, fold, type, data) VALUES (8, zeroblob(16384), x'56', 1, x'00')",
    "odd_types": "INSERT INTO vals(key, name, fold, type, data) VALUES (8, 12, 12, 'text', 3.5)",
    "deep_chain": "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 520)"
                  " INSERT INTO keys(id, parent, name, fold, written)"
                  " SELECT 1000 + i, CASE i WHEN 1 THEN 2 ELSE 999 + i END, x'6B', x'4B', 0 FROM n",
    # Every key below HKEY_CURRENT_USER answered twice, 48 levels deep.
    "doubled_rows": "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 48)"
                    " INSERT INTO keys(id, parent, name, fold, written)"
                    " SELECT 1000 + i, CASE i WHEN 1 THEN 2 ELSE 999 + i END, x'6B', x'4B', 0 FROM n;"
                    " CREATE TABLE key_rows AS SELECT * FROM keys; DROP TABLE keys;"
                    " CREATE VIEW keys AS SELECT * FROM key_rows"
                    " UNION ALL SELECT * FROM key_rows WHERE id > 1000",
}


def main() -> None:
    """Copies the plain database once per damage, damages the copy and compacts it."""
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, damage in DAMAGES.items():
        path = os.path.join(sys.argv[1], name)
        shutil.copyfile(PLAIN, path)
        db = sqlite3.connect(path, isolation_level=None)
        db.executescript(damage + "; VACUUM;")
        db.close()


if __name__ == "__main__":
    main()
