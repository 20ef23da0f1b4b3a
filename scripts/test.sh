#!/usr/bin/env bash
# Builds everything and runs every test (offscreen, fixed locale and time zone).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=Europe/Paris
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300
