#!/usr/bin/env bash
# Picture of the zip component's password dialog: build/shots/zip_password.png
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --build build --target test_zip >/dev/null
mkdir -p build/shots
ZELM_SHOT_DIR="$PWD/build/shots" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  build/bin/test_zip --gtest_filter='ZipPassword.DialogLayout' >/dev/null
echo build/shots/zip_password.png
