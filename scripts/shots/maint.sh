#!/usr/bin/env bash
# Pictures of the maintenance windows under Xvfb, in shots/: backup and restore, the archive
# chooser, the reindexing progress, the purge, the backup at exit; then the main window closed
# with "Oui" to "Voulez-vous faire une sauvegarde ?" must leave the weekday's archive.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --build build --target maint_shots >/dev/null
mkdir -p shots
xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/maint_shots "$PWD/shots" -platform xcb
