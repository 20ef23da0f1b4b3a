#!/usr/bin/env bash
# Picture of the zip component's password dialog, made under a virtual display:
# shots/zip_password.png (or in the folder given).
set -euo pipefail
. "$(dirname "$0")/common.sh"
shots_program shots_zip "${1:-shots}"
