# Shared helpers of the outside runs: the built program installed in a folder of its own with a
# data folder, an X server with openbox, window waits, pictures and xdotool shortcuts.
# Sourced, never run:  . scripts/outside/lib.sh
# Needs Xvfb, openbox, xdotool, imagemagick and sqlite3.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
ZO_ROOT="$ROOT"
ZO_BIN="$ROOT/build/bin"
# the generated year the small data sets are cut from (read only)
BENCH="${BENCH_DATA:-$ROOT/build/bench-data}"
export LC_ALL=C.UTF-8 TZ=Europe/Paris QT_QPA_PLATFORM=xcb

# ---- installing ----------------------------------------------------------------------------

# install_program DIR: the program, its libraries and report files in DIR, with its own HOME and
# settings folders; nothing of the user's is touched.
install_program() {
  local dir=$1
  mkdir -p "$dir/Data" "$dir/home" "$dir/reg"
  chmod 700 "$dir/home"  # it is also the runtime folder (XDG_RUNTIME_DIR), which Qt wants private
  cp "$ZO_BIN/zelm" "$dir/"
  cp "$ZO_BIN"/lib*.so "$dir/" 2>/dev/null || true
  cp "$ZO_BIN"/RAPPORT.* "$dir/" 2>/dev/null || true
}

# install_app DIR: the program in DIR and the last weeks of the year in DIR/Data (mkdata.sh), or
# a copy of $OPS_DATA_CACHE when set.
install_app() {
  local dir=$1
  install_program "$dir"
  if [ -n "${OPS_DATA_CACHE:-}" ] && [ -d "$OPS_DATA_CACHE" ]; then
    cp "$OPS_DATA_CACHE"/* "$dir/Data/"
  else
    "$ROOT/scripts/outside/mkdata.sh" "$dir/Data" >/dev/null
  fi
}

# zo_install DIR [rows]: a fresh DIR with the program, the reference tables of the year as they
# are and the first ROWS (default 20000) takings and returns.
zo_install() {
  local dir="$1" rows="${2:-20000}" t ddl
  rm -rf "$dir"
  install_program "$dir"
  for t in CLIENT Titre Region OrgaD VCR Ha; do cp "$BENCH/$t".* "$dir/Data/" 2>/dev/null || true; done
  for t in Disto Retour; do
    # every table made by the same text as the engine's (the program judges a file by that text)
    ddl=$(sqlite3 -readonly "$BENCH/$t.DB" "SELECT group_concat(sql, ';') FROM sqlite_master WHERE sql IS NOT NULL")
    sqlite3 "$dir/Data/$t.DB" "$ddl; ATTACH '$BENCH/$t.DB' AS b;
      INSERT INTO zelm_table SELECT * FROM b.zelm_table; INSERT INTO zelm_fields SELECT * FROM b.zelm_fields;
      INSERT INTO zelm_indexes SELECT * FROM b.zelm_indexes;
      INSERT INTO main.\"$t\" SELECT * FROM b.\"$t\" LIMIT $rows;"
    # companion index descriptor; stale stamp, so the structure check will rebuild what it needs
    cp "$BENCH/$t".PX "$dir/Data/"
  done
}

# zo_env DIR: the environment of a run of the program of DIR (exported in the calling shell).
zo_env() {
  export HOME="$1/home" ZELM_REGISTRY_DIR="$1/reg" XDG_RUNTIME_DIR="$1/home" LC_ALL=C.UTF-8 TZ=Europe/Paris
}

# start_app DIR: starts the program of DIR in its environment; sets APP_PID.
start_app() {
  local dir=$1
  ( cd "$dir" && zo_env "$dir" && exec ./zelm >>"$dir/zelm.log" 2>&1 ) & APP_PID=$!
}

# zo_integrity DIR: integrity of every table file of a data folder, in the engine's own key order;
# prints one line for each faulty file.
zo_integrity() { python3 "$ROOT/scripts/outside/integrity.py" "$1"; }

# ---- the display ---------------------------------------------------------------------------

# start_x [DISPLAY] [SIZE]: Xvfb with openbox, on DISPLAY or else on a display no one else uses
# (the server picks it), screen SIZE (default 1280x1024); sets DISPLAY, XVFB_PID, WM_PID.
start_x() {
  local fifo n size="${2:-1280x1024}"
  if [ -n "${1:-}" ]; then
    export DISPLAY="$1"
    Xvfb "$DISPLAY" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 & XVFB_PID=$!
  else
    fifo=$(mktemp -u /tmp/ops_xfd.XXXXXX); mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 & XVFB_PID=$!
    read -r n <"$fifo"; rm -f "$fifo"
    export DISPLAY=":$n"
  fi
  for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >/dev/null 2>&1 & WM_PID=$!
  sleep 0.5
}
stop_x() {
  kill "$WM_PID" "$XVFB_PID" 2>/dev/null || true
  wait "$WM_PID" "$XVFB_PID" 2>/dev/null || true
}
zo_display() { start_x "${1:-:77}" 1280x900; }
zo_display_stop() { stop_x; }

# wait_win NAME [TRIES]: the id of the newest visible window whose title matches NAME (a regular
# expression), tried every 0.1 s (default 100 times).
wait_win() {
  local w
  for _ in $(seq "${2:-100}"); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
# zo_wait NAME [TRIES]: as wait_win, tried every 0.25 s (default 60 times).
zo_wait() { wait_win "$1" $(( ${2:-60} * 5 / 2 )); }

shot() { import -window root "$1"; }
zo_shot() { shot "$1"; }
keys() { xdotool key --delay 40 "$@"; }
typeit() { xdotool type --delay 30 "$1"; }

# ---- the windows of a run ------------------------------------------------------------------

# check DESC TEST: evaluates TEST, prints "ok: DESC" or "FAILED: DESC" (and sets fail=1).
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

# open_takings MAIN: "Saisie des Prises" opened through the menus of the main window MAIN as the
# operator opens it; prints its id (nothing when it did not open).
open_takings() {
  xdotool windowactivate --sync "$1"; xdotool key alt+f; sleep 0.3; xdotool key Right; sleep 0.3; xdotool key Return
  local w
  w=$(wait_win "Saisie des Prises" 100); sleep 1
  echo "$w"
}

# takings_of_all NAME: the program installed in a working folder of its own (removed at the end,
# with the display), started, and "Saisie des Prises" opened with "Toutes" ticked (300 clients x
# 80 titles). Sets WORK, OUT (the pictures), TODAY, APP_PID, main, w and fail=0; `cell TITLE` is
# today's quantity of that title for the first client.
takings_of_all() {
  WORK=$(mktemp -d "/tmp/$1.XXXXXX")
  OUT="$ROOT/shots"; mkdir -p "$OUT"
  TODAY=$(date +%F)
  install_app "$WORK/app"
  start_x
  trap 'kill -9 "$APP_PID" 2>/dev/null; stop_x; rm -rf "$WORK"' EXIT
  start_app "$WORK/app"
  fail=0
  cell() { sqlite3 -readonly "$WORK/app/Data/Disto.DB" "SELECT Qte_Prise FROM Disto WHERE DateJ='$TODAY' AND Id_Client='0001' AND Id_Titre='$1'"; }
  main=$(wait_win "Distribution de journaux" 100); sleep 2
  w=$(open_takings "$main")
  xdotool windowactivate --sync "$w" >/dev/null 2>&1
  xdotool mousemove 627 200 click 1; sleep 0.3        # "Toutes"
}
