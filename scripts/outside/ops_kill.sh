#!/usr/bin/env bash
# kill -9 of the real program in the middle of a save, RUNS times for each of:
#  takings: "Saisie des Prises", "Toutes" ticked (300 clients x 80 titles, half of today's rows
#           missing), one cell typed (4321, still in its editor), Ctrl+S, kill after a random delay;
#  returns: "Saisie des Invendus" on the latest week, 8 unsold cells typed (77), Ctrl+S, kill.
# Afterwards the day (the week) must be wholly old or wholly new, and every table of the data folder
# must pass PRAGMA integrity_check. Prints one line a run and a summary; exit 1 when one is torn.
# Usage: scripts/outside/ops_kill.sh [RUNS] [takings|returns|both]
set -uo pipefail
source "$(dirname "$0")/lib.sh"
RUNS=${1:-15}; WHAT=${2:-both}
WORK=$(mktemp -d /tmp/ops_kill.XXXXXX)
TODAY=$(date +%F)
CACHE="$WORK/cache"
"$ROOT/scripts/outside/mkdata.sh" "$CACHE" >/dev/null
# today's takings for the first half of the clients, so that a save both updates and inserts
sqlite3 "$CACHE/Disto.DB" "INSERT INTO Disto SELECT '$TODAY', Id_Client, Id_Titre, Qte_Prise, PU FROM Disto
  WHERE DateJ='2025-12-01' AND Id_Client <= '0150'"
export OPS_DATA_CACHE="$CACHE"
OLD_DAY=$(sqlite3 "$CACHE/Disto.DB" "SELECT count(*) FROM Disto WHERE DateJ='$TODAY'")
WEEK=$(sqlite3 "$CACHE/Retour.DB" "SELECT max(Week) FROM Retour")
start_x
trap 'stop_x; rm -rf "$WORK"' EXIT
torn=0; bad=0; old=0; new=0; total=0

check_tables() {  # every table file of the data folder passes its integrity check
  # (the counts above ran first through sqlite3, which rolls back a hot journal as the program would)
  ls "$1"/Data/*-journal "$1"/Data/*-wal 2>/dev/null | sed 's/^/  left over: /'
  python3 "$ROOT/scripts/outside/integrity.py" "$1"/Data/*.DB "$1"/Data/*.db | sed 's/^/  /'
  return "${PIPESTATUS[0]}"
}

open_menu_item() {  # y of the item in the "Traitements" menu
  local main
  main=$(wait_win "Distribution de journaux" 100) || return 1
  xdotool windowactivate --sync "$main" >/dev/null 2>&1
  xdotool mousemove 99 27 click 1; sleep 0.5
  xdotool mousemove 140 "$1" click 1
}

run_takings() {
  local app=$1 w delay
  open_menu_item 48
  w=$(wait_win "Saisie des Prises" 100) || { echo "  no window"; return 2; }
  sleep 1
  xdotool mousemove 627 200 click 1; sleep 0.3      # "Toutes"
  xdotool key F5; sleep 3                            # reload: 300 clients
  xdotool mousemove 334 273 click 1; sleep 0.3       # first cell of the first client
  xdotool type --delay 20 4321
  delay=$(awk -v r=$RANDOM 'BEGIN{printf "%.3f", r/32767*0.35}')
  xdotool key ctrl+s; sleep "$delay"
  kill -9 "$APP_PID"; wait "$APP_PID" 2>/dev/null
  echo -n "delay $delay "
}

run_returns() {
  local app=$1 w delay i
  open_menu_item 94
  w=$(wait_win "Saisie des invendus" 100) || { echo "  no window"; return 2; }
  sleep 1
  xdotool mousemove 254 232 click 1; sleep 1         # calendar on the shown week
  xdotool mousemove 675 573 click 1; sleep 2         # OK: the week loads (Enter does not press it)
  for i in 1 2 3 4 5 6 7 8; do xdotool type --delay 20 77; xdotool key Down; done
  delay=$(awk -v r=$RANDOM 'BEGIN{printf "%.3f", r/32767*0.05}')
  xdotool key ctrl+s; sleep "$delay"
  kill -9 "$APP_PID"; wait "$APP_PID" 2>/dev/null
  echo -n "delay $delay "
}

for kind in takings returns; do
  [ "$WHAT" = both ] || [ "$WHAT" = "$kind" ] || continue
  for n in $(seq "$RUNS"); do
    app="$WORK/app$n-$kind"
    install_app "$app"
    start_app "$app"
    echo -n "$kind run $n: "
    "run_$kind" "$app"; rc=$?
    [ $rc = 2 ] && { kill -9 "$APP_PID" 2>/dev/null; bad=$((bad+1)); continue; }
    total=$((total+1))
    if [ $kind = takings ]; then
      rows=$(sqlite3 "$app/Data/Disto.DB" "SELECT count(*) FROM Disto WHERE DateJ='$TODAY'")
      cell=$(sqlite3 "$app/Data/Disto.DB" "SELECT Qte_Prise FROM Disto WHERE DateJ='$TODAY' AND Id_Client='0001' AND Id_Titre='0001'")
      if [ "$rows" = "$OLD_DAY" ] && [ "$cell" != 4321 ]; then state=old; old=$((old+1))
      elif [ "$rows" = 24000 ] && [ "$cell" = 4321 ]; then state=new; new=$((new+1))
      else state=TORN; torn=$((torn+1)); fi
      echo -n "rows $rows cell $cell: $state"
    else
      typed=$(sqlite3 "$app/Data/Retour.DB" "SELECT count(*) FROM Retour WHERE Week='$WEEK' AND Qte=77")
      rows=$(sqlite3 "$app/Data/Retour.DB" "SELECT count(*) FROM Retour WHERE Week='$WEEK'")
      if [ "$typed" = 0 ]; then state=old; old=$((old+1))
      elif [ "$typed" = 8 ]; then state=new; new=$((new+1))
      else state=TORN; torn=$((torn+1)); fi
      echo -n "typed cells stored $typed, week rows $rows: $state"
    fi
    if check_tables "$app"; then echo " integrity ok"; else echo " INTEGRITY FAILED"; torn=$((torn+1)); fi
    rm -rf "$app"
  done
done
echo "kill runs: $total (not started: $bad), old: $old, new: $new, torn or damaged: $torn"
[ "$torn" = 0 ]
