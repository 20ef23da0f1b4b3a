#!/usr/bin/env bash
# Typing ahead in the real program: in "Saisie des Prises" with "Toutes" ticked (300 clients x 80
# titles), quantities typed at once after "Afficher" (F5) and after "Sauvegarder" (Ctrl+S), while
# the window is still loading or writing, must reach the grid in order and be stored, none dropped.
# Usage: scripts/outside/ops_typeahead.sh
set -uo pipefail
source "$(dirname "$0")/lib.sh"
ulimit -n 1024
takings_of_all ops_typeahead
xdotool key F5; xdotool type --delay 8 "11"; xdotool key Return   # typed while the 300 clients load
sleep 2
xdotool key ctrl+s; xdotool type --delay 8 "22"; xdotool key Return; xdotool type --delay 8 "33"; xdotool key Return
sleep 2
shot "$OUT/outside-typeahead.png"
check "the first save stored the day, with what was typed during the loading" '[ "$(cell 0001)" = 11 ]'
check "typed during the save: the next cell" '[ "$(cell 0002)" = 22 ]'
check "typed during the save: the cell after it" '[ "$(cell 0003)" = 33 ]'
exit $fail
