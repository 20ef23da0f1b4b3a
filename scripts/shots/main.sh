#!/usr/bin/env bash
# Starts the installed program under Xvfb in a scratch program folder and writes shots/main.png
# (the whole screen once the main window is up).
set -euo pipefail
cd "$(dirname "$0")/../.."
[ -x build/bin/zelm ] || scripts/build.sh
OUT="$PWD/shots"
mkdir -p "$OUT"
HOME_DIR="$(mktemp -d)"
trap 'rm -rf "$HOME_DIR"' EXIT
cp build/bin/zelm "$HOME_DIR/"
cp build/bin/lib*.so "$HOME_DIR/" 2>/dev/null || true
export ZELM_REGISTRY_DIR="$HOME_DIR/registry"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  cd "'"$HOME_DIR"'"
  ./zelm & pid=$!
  sleep 5
  import -window root "'"$OUT"'/main.png"
  kill $pid
  wait $pid 2>/dev/null || true
'
echo "$OUT/main.png"
