#!/usr/bin/env python3
"""PRAGMA integrity_check on every table file given, with the engine's ZNOCASE collation stood in
for (ASCII letters folded to upper case, the rest compared after a case fold: exact on the
generated data, which is ASCII). Prints "ok" or the first problems of each file; exit 1 on any."""
import sqlite3, sys

def znocase(a, b):
    x, y = a.upper().casefold(), b.upper().casefold()
    return (x > y) - (x < y)

bad = 0
for path in sys.argv[1:]:
    try:
        con = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
        con.create_collation("ZNOCASE", znocase)
        rows = [r[0] for r in con.execute("PRAGMA integrity_check(5)")]
        con.close()
    except sqlite3.Error as e:
        rows = [str(e)]
    if rows != ["ok"]:
        bad += 1
        print(f"{path}: {'; '.join(rows)}")
sys.exit(1 if bad else 0)
