#!/usr/bin/env bash
# The program driven as a user under Xvfb, with pictures in shots/session-*.png: the start, F6 pressed
# twice (one calendar), the about box opened from the "Aide" menu, and the closing question.
# Needs xdotool and imagemagick, which the project's packages do not include.
set -euo pipefail
. "$(dirname "$0")/common.sh"
need_tools "xdotool imagemagick xvfb" xdotool import xvfb-run
OUT="$PWD/shots"
APP="$(program_copy)"
mkdir -p "$OUT"
export OUT APP
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  cd "$APP"
  ./zelm >/dev/null 2>&1 &
  pid=$!
  sleep 0.8; import -window root "$OUT/session-1-splash.png"
  sleep 3
  w=$(xdotool search --name "Distribution de journaux" | head -1)
  xdotool windowfocus "$w"; sleep 0.3; xdotool key F6; sleep 1
  xdotool windowfocus "$w"; sleep 0.3; xdotool key F6; sleep 1
  import -window root "$OUT/session-2-f6-twice.png"
  echo "calendars open: $(xdotool search --onlyvisible --name Calendrier | wc -l)"
  eval "$(xdotool getwindowgeometry --shell "$w")"
  xdotool mousemove $((X + 210)) $((Y + 8)) click 1; sleep 1   # the "Aide" menu
  xdotool key Down Down Return; sleep 1.5
  import -window root "$OUT/session-3-about.png"
  xdotool key Escape; sleep 0.5
  xdotool windowfocus "$w"; sleep 0.3; xdotool key alt+F4; sleep 1
  import -window root "$OUT/session-4-closing.png"
  xdotool key Escape; sleep 1
  kill "$pid" 2>/dev/null || true
'
rm -rf "$APP"
ls "$OUT"/session-*.png
