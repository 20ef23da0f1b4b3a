#!/usr/bin/env bash
# Typing ahead in the real program: in "Saisie des Prises" with "Toutes" ticked (300 clients x 80
# titles), quantities typed at once after "Afficher" (F5) and after "Sauvegarder" (Ctrl+S), while
# the window is still loading or writing, must reach the grid in order and be stored, none dropped.
# Usage: scripts/outside/ops_typeahead.sh
set -uo pipefail
source "$(dirname "$0")/lib.sh"
ulimit -n 1024
WORK=$(mktemp -d /tmp/ops_typeahead.XXXXXX)
OUT="$ROOT/shots"; mkdir -p "$OUT"
TODAY=$(date +%F)
install_app "$WORK/app"
start_x
trap 'kill -9 "$APP_PID" 2>/dev/null; stop_x; rm -rf "$WORK"' EXIT
start_app "$WORK/app"
fail=0
cell() { sqlite3 -readonly "$WORK/app/Data/Disto.DB" "SELECT Qte_Prise FROM Disto WHERE DateJ='$TODAY' AND Id_Client='0001' AND Id_Titre='$1'"; }
main=$(wait_win "Distribution de journaux" 100); sleep 2
w=$(open_takings "$main")
xdotool windowactivate --sync "$w" >/dev/null 2>&1
xdotool mousemove 627 200 click 1; sleep 0.3        # "Toutes"
xdotool key F5; xdotool type --delay 8 "11"; xdotool key Return   # typed while the 300 clients load
sleep 2
xdotool key ctrl+s; xdotool type --delay 8 "22"; xdotool key Return; xdotool type --delay 8 "33"; xdotool key Return
sleep 2
shot "$OUT/outside-typeahead.png"
check "the first save stored the day, with what was typed during the loading" '[ "$(cell 0001)" = 11 ]'
check "typed during the save: the next cell" '[ "$(cell 0002)" = 22 ]'
check "typed during the save: the cell after it" '[ "$(cell 0003)" = 33 ]'
exit $fail
