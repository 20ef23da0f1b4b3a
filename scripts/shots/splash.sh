#!/usr/bin/env bash
# The splash under a window manager: the program is started under Xvfb with openbox, and the
# screen is captured while the splash is up (shots/splash-wm-1.png .. -3.png, at about 0.4, 0.9
# and 1.4 s) and once the main window is there (shots/splash-wm-after.png).
# Needs openbox, xdotool and imagemagick (apt-get install openbox xdotool imagemagick).
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_tools "openbox imagemagick xvfb" openbox import xvfb-run
OUT="$PWD/shots"
APP="$(program_copy)"
mkdir -p "$OUT"
export OUT APP
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  cd "$APP"
  ZELM_REGISTRY_DIR="$APP/registry" ./zelm >/dev/null 2>&1 &
  pid=$!
  sleep 0.4; import -window root "$OUT/splash-wm-1.png"
  sleep 0.5; import -window root "$OUT/splash-wm-2.png"
  sleep 0.5; import -window root "$OUT/splash-wm-3.png"
  sleep 2.5; import -window root "$OUT/splash-wm-after.png"
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  kill "$wm" 2>/dev/null || true
'
rm -rf "$APP"
ls "$OUT"/splash-wm-*.png
