#!/usr/bin/env bash
# Picture for a person to look at, made under Xvfb: shots/check_done.png, the closing message of
# "Contrôle de la base de données" when a table could not be corrected.
set -euo pipefail
cd "$(dirname "$0")/../.."
[ -x build/bin/test_schema ] || scripts/build.sh
mkdir -p shots
ZELM_SHOTS_DIR="$PWD/shots" xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/bin/test_schema --gtest_filter='EngineCheck.ShotOfTheClosingMessage' -platform xcb >/dev/null
ls shots/check_done.png
