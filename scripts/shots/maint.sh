#!/usr/bin/env bash
# Pictures of the maintenance windows under Xvfb, in shots/: backup and restore, the archive
# chooser, the reindexing progress, the purge (also as its first deletion starts), the backup at
# exit; with openbox installed, the screen too (the windows with their frames, "*_ecran.png").
# Then the main window is closed with "Oui" to "Voulez-vous faire une sauvegarde ?", which must
# show the backup window in the middle of the main window ("maint_sauvegarde_sortie") and leave
# the weekday's archive.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --build build --target shots_maint >/dev/null
mkdir -p shots
if command -v openbox >/dev/null && command -v import >/dev/null; then
  xvfb-run -a -s "-screen 0 1024x768x24" sh -c \
    'openbox >/dev/null 2>&1 & sleep 1; ZELM_SHOT_SCREEN=1 build/bin/shots_maint "$PWD/shots" -platform xcb; r=$?; kill %1 2>/dev/null; exit $r'
else
  xvfb-run -a -s "-screen 0 1024x768x24" build/bin/shots_maint "$PWD/shots" -platform xcb
fi
