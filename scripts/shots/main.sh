#!/usr/bin/env bash
# Pictures for a person to look at, made under Xvfb: shots/main.png (the main window with its
# menu, tool bar, status bar and tiled background, started in an empty program folder) and the
# splash, about, calendar and progress windows.
set -euo pipefail
cd "$(dirname "$0")/../.."
out="${1:-shots}"
mkdir -p "$out"
cmake -S . -B build >/dev/null
cmake --build build -j4 --target shots_shell >/dev/null
LC_ALL=C.UTF-8 TZ=Europe/Paris xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/bin/shots_shell "$out" -platform xcb
