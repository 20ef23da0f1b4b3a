#!/usr/bin/env bash
# kill -9 of the real program in the middle of a save, RUNS times for each of:
#  takings: "Saisie des Prises", "Toutes" ticked (300 clients x 80 titles, half of today's rows
#           missing), one cell typed (4321, still in its editor), Ctrl+S, kill after a random delay;
#  returns: "Saisie des Invendus" on the latest week, all clients but the last region's moved into
#           the first region and its rows of the week taken out beforehand (so that the save stores
#           290 clients x 80 titles again, long enough for the kill to land inside it), 8 unsold
#           cells typed (77), Ctrl+S, kill. One save is timed first without a kill (while the
#           table's journal exists); the kill delays are spread over 0 to 1.3 times its end, and
#           every other run kills as soon as the journal's header is written (the commit).
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
# every client but the last region's in the region the returns window opens on; that region's rows
# of the week taken out (the last region's kept, so that the window still opens on that week)
REGION=$(sqlite3 "$CACHE/Region.db" "SELECT min(Id) FROM Region")
python3 - "$CACHE/CLIENT.DB" "$REGION" <<'PY'
import sqlite3, sys
c = sqlite3.connect(sys.argv[1])
# the region keys are digits, which the engine's folding order leaves as they are
c.create_collation("ZNOCASE", lambda a, b: (a.upper() > b.upper()) - (a.upper() < b.upper()))
c.execute("UPDATE CLIENT SET Region=? WHERE Region<>(SELECT max(Region) FROM CLIENT)", (sys.argv[2],))
c.commit()
PY
REG_CLIENTS="SELECT Id FROM c.CLIENT WHERE Region='$REGION'"
sqlite3 "$CACHE/Retour.DB" "ATTACH '$CACHE/CLIENT.DB' AS c;
  DELETE FROM Retour WHERE Week='$WEEK' AND Id_Client IN ($REG_CLIENTS)"
REG_CELLS=$(( $(sqlite3 "$CACHE/CLIENT.DB" "SELECT count(*) FROM CLIENT WHERE Region='$REGION'") \
  * $(sqlite3 "$CACHE/Titre.DB" "SELECT count(*) FROM Titre") ))
region_rows() {
  sqlite3 "$1/Data/Retour.DB" ".timeout 2000" "ATTACH '$1/Data/CLIENT.DB' AS c;
    SELECT count(*) FROM Retour WHERE Week='$WEEK' AND Id_Client IN ($REG_CLIENTS)"
}
SAVE_S=0.05 SAVE_BEGIN=0  # when the returns save's transaction ends (begins), timed before the first kill
start_x
trap 'stop_x; rm -rf "$WORK"' EXIT
torn=0; bad=0; old=0; new=0; total=0

check_tables() {  # every table file of the data folder passes its integrity check
  # (the counts above ran first through sqlite3, which rolls back a hot journal as the program would)
  local j
  for j in "$1"/Data/*-journal "$1"/Data/*-wal; do
    [ -e "$j" ] || continue
    # killed before the journal was synced: its header is still zero and the table never written
    if [ "$(head -c 8 "$j" | tr -d '\0' | wc -c)" = 0 ]; then echo -n " (unsynced journal left, table untouched)"
    else echo -n " left over: $j"; fi
  done
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

run_returns() {  # run_returns APP [measure]
  local app=$1 w delay i t0
  open_menu_item 94
  w=$(wait_win "Saisie des invendus" 100) || { echo "  no window"; return 2; }
  sleep 1
  xdotool mousemove 254 232 click 1; sleep 1         # calendar on the shown week
  xdotool mousemove 675 573 click 1; sleep 2         # OK: the week loads (Enter does not press it)
  for i in 1 2 3 4 5 6 7 8; do xdotool type --delay 20 77; xdotool key Down; done
  if [ "${2:-}" = measure ]; then
    # the save's transaction lasts as long as the returns table's journal: watched without a fork
    local j="$app/Data/Retour.DB-journal" t0 t1=0 t2=0
    t0=$EPOCHREALTIME
    xdotool key ctrl+s
    while [ ! -e "$j" ]; do
      [ "$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN{print (b-a > 60)}')" = 1 ] && break
    done
    t1=$EPOCHREALTIME
    while [ -e "$j" ]; do :; done
    t2=$EPOCHREALTIME
    sleep 1
    kill -9 "$APP_PID"; wait "$APP_PID" 2>/dev/null
    SAVE_BEGIN=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.3f", b-a}')
    SAVE_S=$(awk -v a="$t0" -v b="$t2" 'BEGIN{printf "%.3f", b-a}')
    [ "$(region_rows "$app")" = "$REG_CELLS" ]
    return
  fi
  if [ "${2:-}" = commit ]; then
    xdotool key ctrl+s
    if at_commit "$app/Data/Retour.DB-journal"; then delay=commit; else delay="commit missed"; fi
    kill -9 "$APP_PID"; wait "$APP_PID" 2>/dev/null
    echo -n "kill $delay "
    return
  fi
  delay=$(awk -v r=$RANDOM -v s="$SAVE_S" 'BEGIN{printf "%.3f", r/32767*s*1.3}')
  xdotool key ctrl+s; sleep "$delay"
  kill -9 "$APP_PID"; wait "$APP_PID" 2>/dev/null
  echo -n "delay $delay "
}

at_commit() {  # at_commit JOURNAL: returns once the journal's header is written (synced: the table
  # file is being written now); 1 when the journal went away first or after 10 s. No fork.
  local j=$1 seen=0 c t0=${EPOCHREALTIME/./}
  while :; do
    if [ -e "$j" ]; then
      seen=1; c=
      LC_ALL=C IFS= read -r -n1 -d '' c <"$j" 2>/dev/null
      [ -n "$c" ] && return 0
    elif [ $seen = 1 ]; then return 1; fi
    (( ${EPOCHREALTIME/./} - t0 > 10000000 )) && return 1
  done
}

for kind in takings returns; do
  [ "$WHAT" = both ] || [ "$WHAT" = "$kind" ] || continue
  if [ $kind = returns ]; then
    app="$WORK/measure"; install_app "$app"; start_app "$app"
    run_returns "$app" measure || { echo "the timed returns save never stored the week"; exit 1; }
    echo "returns save of $REG_CELLS cells: journal from ${SAVE_BEGIN} s to ${SAVE_S} s after Ctrl+S (kill delays spread over 0-1.3 times the end)"
    rm -rf "$app"
  fi
  for n in $(seq "$RUNS"); do
    app="$WORK/app$n-$kind"
    install_app "$app"
    start_app "$app"
    echo -n "$kind run $n: "
    aim=; [ $kind = returns ] && [ $((n % 2)) = 0 ] && aim=commit  # every other one at the commit
    "run_$kind" "$app" $aim; rc=$?
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
      # a journal with its header written: the table was being written, rolled back at the count
      hot=; c=; [ -e "$app/Data/Retour.DB-journal" ] \
        && LC_ALL=C IFS= read -r -n1 -d '' c <"$app/Data/Retour.DB-journal" && [ -n "$c" ] \
        && hot=" (hot journal rolled back)"
      typed=$(sqlite3 "$app/Data/Retour.DB" "SELECT count(*) FROM Retour WHERE Week='$WEEK' AND Qte=77")
      rows=$(region_rows "$app")
      if [ "$typed" = 0 ] && [ "$rows" = 0 ]; then state=old; old=$((old+1))
      elif [ "$typed" = 8 ] && [ "$rows" = "$REG_CELLS" ]; then state=new; new=$((new+1))
      else state=TORN; torn=$((torn+1)); fi
      echo -n "typed cells stored $typed, region rows of the week $rows: $state$hot"
    fi
    if check_tables "$app"; then echo " integrity ok"; else echo " INTEGRITY FAILED"; torn=$((torn+1)); fi
    rm -rf "$app"
  done
done
echo "kill runs: $total (not started: $bad), old: $old, new: $new, torn or damaged: $torn"
[ "$torn" = 0 ]
