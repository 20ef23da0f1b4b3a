#!/usr/bin/env bash
# Pictures of the reports, made under a virtual display into shots/ (or the folder given): the
# chooser and the preview as reports_*.png, a run of delivery notes and a list as PDF, turned
# into PNG pages with pdftoppm (poppler-utils).
set -euo pipefail
cd "$(dirname "$0")/../.."
out="${1:-shots}"
mkdir -p "$out"
cmake -S . -B build >/dev/null
cmake --build build -j4 --target shots_reports
export LC_ALL=C.UTF-8 TZ=Europe/Paris
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/shots_reports "$out"
pdftoppm -r 70 -png "$out/reports_bons.pdf" "$out/reports_bons"
pdftoppm -r 70 -png "$out/reports_liste.pdf" "$out/reports_liste"
ls -l "$out"/reports_*
