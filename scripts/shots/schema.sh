#!/usr/bin/env bash
# Picture for a person to look at, made under Xvfb: shots/check_done.png, the closing message of
# "Contrôle de la base de données" when a table file has damaged pages, and shots/check_readonly.png
# when the data folder cannot be written.
set -euo pipefail
. "$(dirname "$0")/common.sh"
shots_program shots_schema "${1:-shots}"
