#!/usr/bin/env bash
# Picture for a person to look at, made under Xvfb: shots/check_done.png, the closing message of
# "Contrôle de la base de données" when a table file has damaged pages.
set -euo pipefail
cd "$(dirname "$0")/../.."
out="${1:-shots}"
mkdir -p "$out"
cmake -S . -B build >/dev/null
cmake --build build -j4 --target shots_schema >/dev/null
LC_ALL=C.UTF-8 TZ=Europe/Paris xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/bin/shots_schema "$out" -platform xcb
