#!/usr/bin/env bash
# Pictures of the takings window on a loaded region, made under Xvfb: shots/takings.png (the window
# alone) and shots/takings_openbox.png (the whole screen, under the openbox window manager).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j4 --target shots_takings >/dev/null
mkdir -p shots
export LC_ALL=C.UTF-8 TZ=Europe/Paris QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x800x24" build/bin/shots_takings shots/takings.png
if command -v openbox >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c \
    'openbox & wm=$!; sleep 1; build/bin/shots_takings shots/takings_openbox.png --screen; kill $wm'
fi
