#!/usr/bin/env bash
# Pictures of the unsold returns, payments and purchases windows on generated data, made under a
# virtual display into shots/ as weekly_*.png (or into the folder given), once without and once
# with a window manager (openbox, when installed: weekly_*_openbox.png).
set -euo pipefail
cd "$(dirname "$0")/../.."
out="${1:-shots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
cmake --build build -j4 --target shots_weekly
export LC_ALL=C.UTF-8 TZ=Europe/Paris QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/shots_weekly "$out"
if command -v openbox >/dev/null; then
  tmp="$(mktemp -d)"
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    "$0" "$1"
    kill "$wm" 2>/dev/null || true
  ' "$PWD/build/bin/shots_weekly" "$tmp"
  for f in "$tmp"/weekly_*.png; do
    b="$(basename "$f" .png)"
    mv "$f" "$out/${b}_openbox.png"
  done
  rm -rf "$tmp"
fi
ls -l "$out"/weekly_*.png
