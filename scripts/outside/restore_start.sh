#!/usr/bin/env bash
# The installed program started as the operator starts it (./zelm in its folder, under Xvfb +
# openbox), on a data folder that a killed restore left with its list and one copy: the copy
# takes its table's place at the start, and both files go. Then a second start on the same folder
# while the first runs: its box, its end, nothing changed; the same for a second program folder
# whose Data is a link to the first one's; after kill -9 of the first, a start opens as usual.
# Then the linked folder runs and the first folder is refused. A first start holds the data folder
# it makes before its first table: a folder linked to it, started while the first is stopped among
# its tables, is refused. Last, run as nobody (root reads every folder): a data folder it may enter
# but not list is named in an error box and the program ends; one it may read but not write opens.
# Usage: scripts/outside/restore_start.sh [display]   (as root; ZO_DIR: working folder, default /tmp/zo_rs)
set -u
cd "$(dirname "$0")/../.."
. scripts/outside/lib.sh
ZO="${ZO_DIR:-/tmp/zo_rs}"; W="$ZO/app"; fails=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fails=$((fails+1)); fi; }
run() { (cd "$W" && exec ./zelm >>"$W/zelm.log" 2>&1) & PID=$!; }
close_main() {  # closes the main window as the operator does, answering No to the backup
  xdotool windowactivate --sync "$1" 2>/dev/null; xdotool key alt+F4
  zo_wait "^Confirmation$" >/dev/null && xdotool key alt+n
}
# refused WHAT PID [PICTURE] [TITLE]: the copy just started shows the refusal box (pictured; titled
# "Avertissement" unless told), is answered, and ends with rc=1.
refused() {
  local box rc
  box=$(zo_wait "^${4:-Avertissement}\$")
  check "$1 shows its box" '[ -n "$box" ]'
  [ -n "${3:-}" ] && shot "$ZO/$3"
  xdotool windowactivate --sync "$box" 2>/dev/null; xdotool key Return
  wait "$2"; rc=$?
  check "$1 ends (rc=$rc)" '[ $rc = 1 ]'
}

rm -rf "$ZO"; mkdir -p "$ZO"; install_program "$W"; rmdir "$W/Data"; zo_env "$W"
# a first start, without a display, makes the data folder and its tables
(cd "$W" && QT_QPA_PLATFORM=offscreen timeout 10 ./zelm >/dev/null 2>&1)
# one row each (the engine's case-blind collation, which the indexes name, stood in for by Python's)
site() {
  python3 -c 'import sqlite3, sys
c = sqlite3.connect(sys.argv[1])
c.create_collation("ZNOCASE", lambda a, b: (a.upper() > b.upper()) - (a.upper() < b.upper()))
c.execute("delete from Site"); c.execute("insert into Site values (?, ?)", sys.argv[2:4]); c.commit()' "$@"
}
cp "$W/Data/Site.DB" "$W/Data/~restaure.Site.DB"
site "$W/Data/Site.DB" A ANCIEN; site "$W/Data/~restaure.Site.DB" N NOUVEAU
printf '~restaure.Site.DB\tSite.DB\n' > "$W/Data/~restaure.journal"

zo_display "${1:-:73}"
run; w=$(zo_wait "^Distribution de journaux")
check "the program starts" '[ -n "$w" ]'
check "the listed copy has taken its table's place" '[ "$(sqlite3 "$W/Data/Site.DB" "select Id from Site")" = N ]'
check "the copy and its list are gone" '[ -z "$(ls -A "$W/Data" | grep "^~")" ]'

# a second copy on the same folder
cp "$W/ZELM.INI" "$ZO/ini.before" 2>/dev/null; echo lock > "$W/PDOXUSRS.NET"
(cd "$W" && exec ./zelm >>"$W/zelm2.log" 2>&1) & PID2=$!
refused "a second start" $PID2 second_start.png
check "its settings file is as it was" 'cmp -s "$ZO/ini.before" "$W/ZELM.INI"'
check "no leftover was deleted" '[ -f "$W/PDOXUSRS.NET" ]'
check "the first copy still runs" 'kill -0 $PID'

# a second program folder whose Data is a link to the first one's: the same tables, refused too
W2="$ZO/app2"; install_program "$W2"; rmdir "$W2/Data"; ln -s "$W/Data" "$W2/Data"
run2() { (cd "$W2" && zo_env "$W2" && exec ./zelm >>"$ZO/app2.log" 2>&1) & PID2=$!; }  # its log outside its folder
ls -A "$W2" > "$ZO/app2.before"; ls -lA --time-style=full-iso "$W/Data" > "$ZO/data.before"
run2; refused "a start from a folder whose Data links here" $PID2 linked_start.png
check "its folder is as it was" '[ "$(ls -A "$W2")" = "$(cat "$ZO/app2.before")" ]'
check "the data folder is as it was" '[ "$(ls -lA --time-style=full-iso "$W/Data")" = "$(cat "$ZO/data.before")" ]'
check "the first copy still runs" 'kill -0 $PID'

# kill -9: the kernel drops the lock with the process
kill -9 $PID; wait $PID 2>/dev/null
run; w=$(zo_wait "^Distribution de journaux")
check "after kill -9 a new start opens as usual" '[ -n "$w" ] && [ -z "$(xdotool search --onlyvisible --name "^Avertissement$" 2>/dev/null)" ]'
shot "$ZO/after_kill.png"
close_main "$w"; wait $PID; rc=$?
check "it closes normally (rc=$rc)" '[ $rc = 0 ]'

# the other way round: the linked folder runs, the first folder is refused
run2; PID3=$PID2; w=$(zo_wait "^Distribution de journaux")
check "the linked folder starts once the first is closed" '[ -n "$w" ]'
run; refused "the first folder, started while the linked one runs," $PID
close_main "$w"; wait $PID3; rc=$?
check "the linked copy closes normally (rc=$rc)" '[ $rc = 0 ]'

# a first start stopped among its tables already holds the data folder it made
F="$ZO/fresh"; L="$ZO/fresh_link"; install_program "$F"; rmdir "$F/Data"
install_program "$L"; rmdir "$L/Data"; ln -s "$F/Data" "$L/Data"
(cd "$F" && zo_env "$F" && exec ./zelm >>"$ZO/fresh.log" 2>&1) & PIDF=$!
for _ in $(seq 200000); do compgen -G "$F/Data/*.DB" >/dev/null && break; done
kill -STOP $PIDF; made=$(ls "$F/Data" | wc -l)
(cd "$L" && zo_env "$L" && exec ./zelm >>"$ZO/fresh_link.log" 2>&1) & PIDL=$!
refused "a folder linked to a data folder being made ($made files so far)" $PIDL
kill -CONT $PIDF; w=$(zo_wait "^Distribution de journaux")
check "the first start goes on and opens" '[ -n "$w" ]'
check "it made every table" '[ $(ls "$F/Data" | grep -ic "\.db$") = 12 ]'
close_main "$w"; wait $PIDF; rc=$?
check "it closes normally (rc=$rc)" '[ $rc = 0 ]'

# as nobody: a data folder it may enter but not list, then one it may read but not write
[ "$(id -u)" = 0 ] || { echo "not root: the unreadable data folder is not tried"; zo_display_stop; echo "failures=$fails"; [ $fails = 0 ]; exit; }
N="$ZO/nobody"; mkdir -p "$N"; chown nobody "$N"; chmod 755 "$ZO"
run_nobody() {
  (cd "$W" && exec setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$N" XDG_RUNTIME_DIR="$N" \
     ZELM_REGISTRY_DIR="$N/reg" DISPLAY="$DISPLAY" ./zelm >>"$N/zelm.log" 2>&1) & PIDN=$!
}
ls -lA --time-style=full-iso "$W/Data" > "$ZO/data.before"
chmod 0711 "$W/Data"; run_nobody
refused "a data folder that cannot be listed" $PIDN unreadable_data.png Erreur
chmod 0755 "$W/Data"
check "the data folder is as it was" '[ "$(ls -lA --time-style=full-iso "$W/Data")" = "$(cat "$ZO/data.before")" ]'
chmod 0555 "$W/Data"; run_nobody; w=$(zo_wait "^Distribution de journaux")
check "a data folder that can be read but not written opens" '[ -n "$w" ] && [ -z "$(xdotool search --onlyvisible --name "^Erreur$" 2>/dev/null)" ]'
kill $PIDN 2>/dev/null; wait $PIDN 2>/dev/null; chmod 0755 "$W/Data"
zo_display_stop
echo "failures=$fails"
[ $fails = 0 ]
