# Shared by the outside runs: installs the built program into a folder of its own (as run.sh
# does) with a small data set, so that nothing of the user's is touched.
# Usage: . scripts/outside/common.sh ; zo_install DIR [rows]
ZO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
ZO_BIN="$ZO_ROOT/build/bin"
BENCH="${BENCH_DATA:-$ZO_ROOT/build/bench-data}"

zo_install() {  # DIR [takings rows]: program in DIR, data in DIR/Data
  local dir="$1" rows="${2:-20000}"
  rm -rf "$dir"; mkdir -p "$dir/Data" "$dir/reg" "$dir/home"
  cp "$ZO_BIN/zelm" "$dir/"
  cp "$ZO_BIN"/lib*.so "$dir/" 2>/dev/null || true
  cp "$ZO_BIN"/RAPPORT.* "$dir/"
  # the small reference tables as they are; the big ones cut to a few thousand rows
  for t in CLIENT Titre Region OrgaD VCR Ha; do cp "$BENCH/$t".* "$dir/Data/" 2>/dev/null || true; done
  cp "$BENCH"/Region.* "$dir/Data/"
  for t in Disto Retour; do
    sqlite3 "$dir/Data/$t.DB" "ATTACH '$BENCH/$t.DB' AS b;
      CREATE TABLE zelm_table AS SELECT * FROM b.zelm_table;
      CREATE TABLE zelm_fields AS SELECT * FROM b.zelm_fields;
      CREATE TABLE zelm_indexes AS SELECT * FROM b.zelm_indexes;" >/dev/null
    local ddl; ddl=$(sqlite3 -readonly "$BENCH/$t.DB" "SELECT group_concat(sql, ';') FROM sqlite_master WHERE name NOT LIKE 'zelm_%' AND sql IS NOT NULL")
    sqlite3 "$dir/Data/$t.DB" "$ddl; ATTACH '$BENCH/$t.DB' AS b; INSERT INTO main.\"$t\" SELECT * FROM b.\"$t\" LIMIT $rows;"
    # companion index descriptor; stale stamp, so the structure check will rebuild what it needs
    cp "$BENCH/$t".PX "$dir/Data/"
  done
}

zo_env() {  # DIR: environment of a run
  export HOME="$1/home" ZELM_REGISTRY_DIR="$1/reg" XDG_RUNTIME_DIR="$1/home" LC_ALL=C.UTF-8 TZ=Europe/Paris
}

# Integrity of every SQLite table file of a data folder; prints "TABLE: message" for each fault.
zo_integrity() {
  local d="$1" f r
  for f in "$d"/*.DB "$d"/*.db; do
    [ -f "$f" ] || continue
    r=$(sqlite3 -readonly "$f" "PRAGMA integrity_check" 2>&1 | head -3 | tr '\n' ' ')
    [ "$r" = "ok " ] || echo "$(basename "$f"): $r"
  done
}
