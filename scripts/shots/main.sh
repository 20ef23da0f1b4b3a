#!/usr/bin/env bash
# Pictures for a person to look at, made under Xvfb: shots/main.png (the main window with its
# menu, tool bar, status bar and tiled background, started in an empty program folder) and the
# splash, about, calendar and progress windows.
set -euo pipefail
. "$(dirname "$0")/common.sh"
shots_program shots_shell "${1:-shots}"
