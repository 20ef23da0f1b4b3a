#!/usr/bin/env bash
# Renders the gallery of gradient and label styles into shots/controls.png.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j4 --target shots_controls >/dev/null
mkdir -p shots
QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 build/bin/shots_controls shots/controls.png
echo shots/controls.png
