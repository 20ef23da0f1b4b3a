#!/usr/bin/env bash
# Pictures for a person to look at, made under Xvfb: shots/main.png (the main window with its
# menu, tool bar, status bar and tiled background, started in an empty program folder) and the
# splash, about, calendar and progress windows.
set -euo pipefail
cd "$(dirname "$0")/../.."
[ -x build/bin/test_shell ] || scripts/build.sh
mkdir -p shots
ZELM_SHOTS_DIR="$PWD/shots" xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/bin/test_shell --gtest_filter='ShellShots.*' -platform xcb >/dev/null
ls shots/*.png
