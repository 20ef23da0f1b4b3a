#!/usr/bin/env bash
# Ctrl+Z in "Saisie des Prises" of the real program, a quantity still in its cell's editor: the
# window asks before dropping it. "Non", the button Enter presses, keeps it (Ctrl+S then stores
# it); "Oui" drops it and stores nothing. Picture: shots/outside-annuler.png (the question over
# the window).
# Usage: scripts/outside/ops_annuler.sh
set -uo pipefail
source "$(dirname "$0")/lib.sh"
ulimit -n 1024
takings_of_all ops_annuler
xdotool key F5; sleep 3
xdotool type --delay 30 "44"; sleep 0.3             # still in the first cell's editor
xdotool key ctrl+z
q=$(wait_win "Avertissement" 50)
check "Ctrl+Z with a quantity typed asks first" '[ -n "$q" ]'
sleep 0.5
shot "$OUT/outside-annuler.png"
xdotool key Return; sleep 0.5                       # "Non", the default: a hand on Enter loses nothing
check "the question is gone" '[ -z "$(xdotool search --onlyvisible --name Avertissement 2>/dev/null)" ]'
xdotool key ctrl+s; sleep 3
check "\"Non\" kept the quantity being typed, and Ctrl+S stored it" '[ "$(cell 0001)" = 44 ]'
# the next title: the save gave the whole day its rows, so a quantity left is stored at once and
# only the one in the editor is still to drop
second=$(cell 0002)
xdotool key Right; xdotool type --delay 30 "55"; sleep 0.3
xdotool key ctrl+z
q=$(wait_win "Avertissement" 50)
check "asked again for the next quantity" '[ -n "$q" ]'
xdotool key alt+o; sleep 2                           # "Oui"
xdotool key ctrl+s; sleep 2
check "\"Oui\" dropped it: the stored quantity and the next cell hold what they held" \
  '[ "$(cell 0001)" = 44 ] && [ "$(cell 0002)" = "$second" ]'
xdotool key ctrl+z; sleep 1
check "with nothing typed, no question" '[ -z "$(xdotool search --onlyvisible --name Avertissement 2>/dev/null)" ]'
exit $fail
