#!/usr/bin/env bash
# Pictures of the clients, titles, lists and titles-per-region windows, made under a virtual
# display into shots/ as refdata_*.png (or into the folder given).
set -euo pipefail
cd "$(dirname "$0")/../.."
out="${1:-shots}"
mkdir -p "$out"
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j4 --target test_refdata
export ZELM_SHOTS_DIR="$(cd "$out" && pwd)" LC_ALL=C.UTF-8 TZ=Europe/Paris
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/bin/test_refdata --gtest_filter='*Screenshots*'
ls -l "$out"
