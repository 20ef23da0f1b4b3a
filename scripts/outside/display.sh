# Starts Xvfb with openbox on display $1 (default :77); sourced by the outside runs.
zo_display() {
  export DISPLAY="${1:-:77}"
  Xvfb "$DISPLAY" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
  ZO_XVFB=$!
  sleep 0.7
  openbox >/dev/null 2>&1 &
  ZO_OPENBOX=$!
  sleep 0.7
}
zo_display_stop() { kill "$ZO_OPENBOX" "$ZO_XVFB" 2>/dev/null; wait "$ZO_OPENBOX" "$ZO_XVFB" 2>/dev/null; }
zo_shot() { import -window root "$1"; }
# Waits until a window whose title matches $1 is shown; prints its id.
zo_wait() {
  local i w
  for i in $(seq 1 ${2:-60}); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.25
  done
  return 1
}
