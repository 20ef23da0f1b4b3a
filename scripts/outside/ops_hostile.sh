#!/usr/bin/env bash
# Hostile values typed into the real program, under Xvfb and openbox with `ulimit -n 1024`: each
# value goes into the next quantity cell of "Saisie des Prises", followed by Enter, then into the
# next unsold cell of "Saisie des invendus", followed by Ctrl+S (unsold cells are checked at the
# save). For each value it writes which window came up (an error box, or none) and what the tables
# hold afterwards; pictures in shots/outside-*.png.
# Usage: scripts/outside/ops_hostile.sh
set -uo pipefail
source "$(dirname "$0")/lib.sh"
ulimit -n 1024
OUT="$ROOT/shots"; mkdir -p "$OUT"
WORK=$(mktemp -d /tmp/ops_hostile.XXXXXX)
TODAY=$(date +%F)
install_app "$WORK/app"
start_x
trap 'kill -9 "$APP_PID" 2>/dev/null; stop_x; rm -rf "$WORK"' EXIT
start_app "$WORK/app"
LONG=$(printf '9%.0s' $(seq 1000))
VALUES=("99999999999" "2147483648" "2147483647" "abc" "1e5" "-0" " 12 " "١٢" "１２" "2.5" "1,5" "+3" "$LONG")
wait_win "Distribution de journaux" 100 >/dev/null
sleep 2
xdotool mousemove 99 27 click 1; sleep 0.5; xdotool mousemove 140 48 click 1
wait_win "Saisie des Prises" 100 >/dev/null; sleep 1.5
xdotool mousemove 334 293 click 1; sleep 0.3      # first cell of the second client
i=0
for v in "${VALUES[@]}"; do
  i=$((i+1))
  # a character outside the keyboard map is typed through a keycode xdotool remaps for it; at a
  # short delay the map changes back before the key arrives and another character is typed
  d=3; LC_ALL=C; [[ $v = *[![:print:]]* ]] && d=150; LC_ALL=C.UTF-8
  xdotool type --delay $d -- "$v"; xdotool key Return; sleep 0.8
  box=$(xdotool search --onlyvisible --name "Erreur|Avertissement|Information" getwindowname %@ 2>/dev/null | head -1)
  [ $i = 1 ] && shot "$OUT/outside-takings-refused.png"
  if [ -n "$box" ]; then  # OK, then the refused text, still in the cell's editor, is replaced by 0
    xdotool key Return; sleep 0.4; xdotool key ctrl+a; xdotool type 0; xdotool key Return; sleep 0.5
  fi
  echo "takings '${v:0:20}': ${box:-accepted}"
done
shot "$OUT/outside-takings-values.png"
xdotool key ctrl+s; sleep 1.5
box=$(xdotool search --onlyvisible --name "Erreur|Avertissement|Information" getwindowname %@ 2>/dev/null | head -1)
echo "save: ${box:-no box}"
shot "$OUT/outside-takings-saved.png"
[ -n "$box" ] && { xdotool key Return; sleep 0.4; }
echo "stored for client 0002 today: $(sqlite3 "$WORK/app/Data/Disto.DB" "SELECT group_concat(Qte_Prise, ' ') FROM Disto WHERE DateJ='$TODAY' AND Id_Client='0002' AND Qte_Prise<>0")"

# The unsold cells of "Saisie des invendus" (latest week): each value typed into the next cell of
# the first title's column, then Ctrl+S, since they are checked at the save.
WEEK=$(sqlite3 -readonly "$WORK/app/Data/Retour.DB" "SELECT max(Week) FROM Retour")
unsold() { sqlite3 -readonly "$WORK/app/Data/Retour.DB" "SELECT group_concat(Qte, ' ') FROM (SELECT Qte FROM Retour
  WHERE Week='$WEEK' AND Id_Titre='0001' AND Id_Client <= '0010' ORDER BY Id_Client)"; }
before=$(unsold)
xdotool windowactivate --sync "$(wait_win "Saisie des Prises" 10)" >/dev/null 2>&1; xdotool key ctrl+F4; sleep 1
xdotool mousemove 99 27 click 1; sleep 0.5; xdotool mousemove 140 94 click 1
wait_win "Saisie des invendus" 100 >/dev/null || { echo "returns: NO WINDOW"; exit 1; }
sleep 1
xdotool mousemove 254 232 click 1; sleep 1         # calendar on the shown week
xdotool mousemove 675 573 click 1; sleep 2         # OK: the week loads, the first unsold cell current
for v in "${VALUES[@]:0:10}"; do
  d=3; LC_ALL=C; [[ $v = *[![:print:]]* ]] && d=150; LC_ALL=C.UTF-8
  xdotool type --delay $d -- "$v"; xdotool key ctrl+s; sleep 0.8
  box=$(xdotool search --onlyvisible --name "Erreur|Avertissement|Information" getwindowname %@ 2>/dev/null | head -1)
  if [ -n "$box" ]; then  # OK; the refused text, still in the cell's editor, is replaced by 0
    xdotool key Return; sleep 0.4; xdotool key ctrl+a; xdotool type 0
  fi
  xdotool key Down; sleep 0.2
  echo "returns '${v:0:20}': ${box:-accepted}"
done
xdotool key ctrl+s; sleep 1.5
box=$(xdotool search --onlyvisible --name "Erreur|Avertissement|Information" getwindowname %@ 2>/dev/null | head -1)
echo "returns save: ${box:-no box}"
shot "$OUT/outside-returns-values.png"
[ -n "$box" ] && { xdotool key Return; sleep 0.4; }
echo "unsold of the first title, clients 1-10: before [$before], after [$(unsold)]"
python3 "$ROOT/scripts/outside/integrity.py" "$WORK"/app/Data/*.DB && echo "tables: integrity ok"
