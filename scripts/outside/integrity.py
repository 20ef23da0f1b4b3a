#!/usr/bin/env python3
"""Integrity check of table files, with the engine's case- and accent-folding order (ZNOCASE).
Arguments: table files, or data folders (every *.DB in them). Prints one line per faulty file;
exit 1 when there is one."""
import glob, os, shutil, sqlite3, sys, tempfile, unicodedata

SPECIAL = {0x152: "OE", 0x153: "OE", 0xC6: "AE", 0xE6: "AE", 0xD8: "O", 0xF8: "O",
           0x110: "D", 0x111: "D", 0x141: "L", 0x142: "L"}

def fold(s):
    out = []
    for ch in unicodedata.normalize("NFD", s.upper()):
        if ord(ch) in SPECIAL: out.append(SPECIAL[ord(ch)]); continue
        if unicodedata.category(ch) == "Mn": continue
        out.append(ch)
    return "".join(out)

def zcmp(a, b):
    x, y = fold(a), fold(b)
    return (x > y) - (x < y)

def tables(args):
    for a in args:
        if os.path.isdir(a):
            for f in sorted(glob.glob(os.path.join(a, "*"))):
                if f.upper().endswith(".DB") and not os.path.basename(f).startswith("~"):
                    yield f
        else:
            yield a

bad = 0
for f in tables(sys.argv[1:]):
    try:
        # A journal left by a killed writer is rolled back at the next opening: checked on a copy
        # so that the folder itself stays as it is.
        if os.path.exists(f + "-journal"):
            tmp = tempfile.mkdtemp()
            shutil.copy(f, tmp); shutil.copy(f + "-journal", tmp)
            c = sqlite3.connect(os.path.join(tmp, os.path.basename(f)))
        else:
            c = sqlite3.connect("file:%s?mode=ro" % f, uri=True)
        c.create_collation("ZNOCASE", zcmp)
        r = [row[0] for row in c.execute("PRAGMA integrity_check(5)")]
        c.close()
    except Exception as e:
        r = [str(e)]
    if r != ["ok"]:
        bad += 1
        print("%s: %s" % (f, "; ".join(r[:3])))
sys.exit(1 if bad else 0)
