#!/usr/bin/env bash
# Builds the program, installs it into the program folder (default ~/ZELM/) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
DEST="${ZELM_HOME:-$HOME/ZELM}"
mkdir -p "$DEST"
cp build/bin/zelm "$DEST/"
cp build/bin/lib*.so "$DEST/" 2>/dev/null || true
cp build/bin/RAPPORT.* "$DEST/"  # the report catalogue, read only by the program
cd "$DEST"
exec ./zelm
