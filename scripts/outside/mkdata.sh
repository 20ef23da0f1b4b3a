#!/usr/bin/env bash
# A small data folder cut from the generated year (build/bench-data as bench_db makes it, or
# $BENCH_DATA; read only): every table as is,
# except the takings and returns, of which only the last weeks of the year are kept.
# Usage: mkdata.sh DEST [SINCE]   (SINCE: first day kept, default 2025-12-01)
set -euo pipefail
SRC="${BENCH_DATA:-$(cd "$(dirname "$0")/../.." && pwd)/build/bench-data}"
DEST="$1"; SINCE="${2:-2025-12-01}"
mkdir -p "$DEST"
for f in "$SRC"/*; do
  case "$(basename "$f")" in Disto.DB|Retour.DB|complete) ;; *) cp "$f" "$DEST/" ;; esac
done
cut() {  # table file column
  local t=$1 f=$2 c=$3
  rm -f "$DEST/$f"
  sqlite3 "$DEST/$f" <<SQL
ATTACH '$SRC/$f' AS o;
$(sqlite3 "$SRC/$f" .schema | sed 's/IF NOT EXISTS //')
INSERT INTO zelm_table SELECT * FROM o.zelm_table;
INSERT INTO zelm_fields SELECT * FROM o.zelm_fields;
INSERT INTO zelm_indexes SELECT * FROM o.zelm_indexes;
INSERT INTO "$t" SELECT * FROM o."$t" WHERE "$c" >= '$SINCE';
SQL
}
cut Disto Disto.DB DateJ
cut Retour Retour.DB Week
ls -la "$DEST" | head -3
