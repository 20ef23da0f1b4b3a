# Shared helpers of the outside runs: a program folder of its own with a data folder, an X server
# with openbox, and a few xdotool shortcuts. Sourced, never run.
# Needs Xvfb, openbox, xdotool, imagemagick and sqlite3.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export LC_ALL=C.UTF-8 TZ=Europe/Paris QT_QPA_PLATFORM=xcb

# install_app DIR: the program and its libraries in DIR, the small data set in DIR/Data.
install_app() {
  local dir=$1
  mkdir -p "$dir/home" "$dir/reg"
  cp "$ROOT"/build/bin/zelm "$ROOT"/build/bin/lib*.so "$dir/"
  cp "$ROOT"/build/bin/RAPPORT.* "$dir/" 2>/dev/null || true
  [ -d "$ROOT/resources/install" ] && cp -rn "$ROOT/resources/install/." "$dir/" || true
  if [ -n "${OPS_DATA_CACHE:-}" ] && [ -d "$OPS_DATA_CACHE" ]; then
    mkdir -p "$dir/Data"; cp "$OPS_DATA_CACHE"/* "$dir/Data/"
  else
    "$ROOT/scripts/outside/mkdata.sh" "$dir/Data" >/dev/null
  fi
}

# start_x: Xvfb on a display no one else uses (the server picks it) with openbox; sets DISPLAY,
# XVFB_PID, WM_PID.
start_x() {
  local fifo n
  fifo=$(mktemp -u /tmp/ops_xfd.XXXXXX); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 & XVFB_PID=$!
  read -r n <"$fifo"; rm -f "$fifo"
  export DISPLAY=":$n"
  for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >/dev/null 2>&1 & WM_PID=$!
  sleep 0.5
}
stop_x() { kill "$WM_PID" 2>/dev/null || true; kill "$XVFB_PID" 2>/dev/null || true; }

# start_app DIR: starts the program of DIR with its own HOME and settings folder; sets APP_PID.
start_app() {
  local dir=$1
  ( cd "$dir" && HOME="$dir/home" ZELM_REGISTRY_DIR="$dir/reg" XDG_RUNTIME_DIR="$dir/home" \
      exec ./zelm >"$dir/zelm.log" 2>&1 ) & APP_PID=$!
}

# wait_win NAME [TRIES]: the id of the first visible window whose title holds NAME.
wait_win() {
  local w
  for _ in $(seq "${2:-100}"); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}
shot() { import -window root "$1"; }
keys() { xdotool key --delay 40 "$@"; }
typeit() { xdotool type --delay 30 "$1"; }
