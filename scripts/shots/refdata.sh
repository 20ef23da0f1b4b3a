#!/usr/bin/env bash
# Pictures of the clients, titles, lists, regions, issue-numbering and titles-per-region windows,
# made under a virtual display into shots/ as refdata_*.png (or into the folder given).
set -euo pipefail
. "$(dirname "$0")/common.sh"
shots_program shots_refdata "${1:-shots}"
