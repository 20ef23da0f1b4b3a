#!/usr/bin/env bash
# Pictures of the clients, titles, lists, regions, issue-numbering and titles-per-region windows,
# made under a virtual display into shots/ as refdata_*.png (or into the folder given).
set -euo pipefail
cd "$(dirname "$0")/../.."
out="${1:-shots}"
mkdir -p "$out"
cmake -S . -B build >/dev/null
cmake --build build -j4 --target shots_refdata >/dev/null
LC_ALL=C.UTF-8 TZ=Europe/Paris xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/bin/shots_refdata "$out" -platform xcb
