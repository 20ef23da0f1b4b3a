#!/usr/bin/env bash
# The data folder made read-only halfway through a morning's typing, the program running as a user
# without rights on it (nobody, via setpriv: root would ignore the permissions). In "Saisie des
# Prises": quantities typed and saved while the folder is writable; the folder made read-only; a
# quantity typed and saved: the French error box, the window and its typing kept, nothing of the
# day changed; the folder writable again: the same save stores the typed quantity. Then the window
# closed and opened again while the folder is read-only (its tables opened read-only), the folder
# made writable with the window still open: its save stores too.
# A cell left while the folder is read-only is posted at once: one box comes then, the cursor stays
# in the cell and the digits typed once the box is closed go on into it. (The keys typed while a
# box is up go to the box: one quantity per phase.)
# Usage: scripts/outside/ops_readonly_mid.sh   (as root)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] || { echo "run as root (it drops to nobody)"; exit 2; }
WORK=$(mktemp -d /tmp/ops_romid.XXXXXX); chmod 755 "$WORK"
OUT="$ROOT/shots"; mkdir -p "$OUT"
TODAY=$(date +%F)
install_app "$WORK/app"
mkdir -p "$WORK/home"; chown -R nobody "$WORK/home" "$WORK/app"
start_x
xhost +local: >/dev/null 2>&1 || true
( cd "$WORK/app" && ulimit -n 1024 && exec setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$WORK/home" \
    ZELM_REGISTRY_DIR="$WORK/home/reg" XDG_RUNTIME_DIR="$WORK/home" DISPLAY="$DISPLAY" ./zelm \
    >"$WORK/home/log" 2>&1 ) & APP_PID=$!
trap 'kill "$APP_PID" 2>/dev/null; stop_x; chmod -R u+w "$WORK"; rm -rf "$WORK"' EXIT
fail=0
day() { sqlite3 -readonly "$WORK/app/Data/Disto.DB" "SELECT count(*)||' '||total(Qte_Prise) FROM Disto WHERE DateJ='$TODAY'"; }
main=$(wait_win "Distribution de journaux" 100); sleep 2
w=$(open_takings "$main")
xdotool windowactivate --sync "$w" >/dev/null 2>&1
for q in 11 12 13; do xdotool type --delay 5 $q; xdotool key Tab; done
xdotool key ctrl+s; sleep 1.5
first=$(day)
check "the first save stores the region's day (rows, total)" '[ "${first#* }" = 36.0 ]'
readonly_data() { chmod -R a-w "$WORK/app/Data"; chmod a+rx "$WORK/app/Data"; }
# Every error box closed.
close_boxes() { local i; for i in 1 2 3 4; do
  [ -z "$(xdotool search --onlyvisible --name Erreur 2>/dev/null)" ] && return 0
  xdotool key Return; sleep 0.7; done; return 1; }
readonly_data
xdotool windowactivate --sync "$w" >/dev/null 2>&1
# A cell left on the read-only folder: one box, closed by Return; the next digits go on into it.
xdotool type --delay 5 2; xdotool key Tab; sleep 1.5
shot "$OUT/outside-readonly-mid-cell.png"
check "the cell left on the read-only folder brings the error box" '[ -n "$(wait_win Erreur 20)" ]'
xdotool key Return; sleep 1.5
check "one refused cell, one box" '[ -z "$(xdotool search --onlyvisible --name Erreur 2>/dev/null)" ]'
close_boxes
xdotool windowactivate --sync "$w" >/dev/null 2>&1
xdotool type --delay 5 1; xdotool key ctrl+s; sleep 1.5
shot "$OUT/outside-readonly-mid.png"
check "the save on the read-only folder brings the error box" '[ -n "$(wait_win Erreur 20)" ]'
close_boxes
check "nothing of the day changed" '[ "$(day)" = "$first" ]'
check "the window stays" '[ -n "$(wait_win "Saisie des Prises" 10)" ]'
chmod -R u+w "$WORK/app/Data"
xdotool windowactivate --sync "$w" >/dev/null 2>&1
xdotool key ctrl+s; sleep 1.5
shot "$OUT/outside-readonly-mid-again.png"
check "no box after the folder is writable again" '[ -z "$(xdotool search --onlyvisible --name Erreur 2>/dev/null)" ]'
check "the typing kept through the failure is stored (rows, total)" '[ "$(day)" = "${first% *} 57.0" ]'
close_boxes
xdotool windowactivate --sync "$w" >/dev/null 2>&1; xdotool key ctrl+F4; sleep 1
check "closing asks nothing once saved" '[ -z "$(xdotool search --onlyvisible --name "Saisie des Prises|Avertissement" 2>/dev/null)" ]'
# The window opened on the read-only folder, the folder writable again before its save.
readonly_data
w=$(open_takings "$main")
check "the window opens on the read-only folder" '[ -n "$w" ] && [ -z "$(xdotool search --onlyvisible --name Erreur 2>/dev/null)" ]'
close_boxes
chmod -R u+w "$WORK/app/Data"
xdotool windowactivate --sync "$w" >/dev/null 2>&1
xdotool type --delay 5 31; xdotool key ctrl+s; sleep 1.5
shot "$OUT/outside-readonly-opened.png"
check "the window opened read-only saves once the folder is writable (no box)" '[ -z "$(xdotool search --onlyvisible --name Erreur 2>/dev/null)" ]'
check "its typing is stored (rows, total)" '[ "$(day)" = "${first% *} 77.0" ]'
close_boxes
xdotool windowactivate --sync "$w" >/dev/null 2>&1; xdotool key ctrl+F4; sleep 1
check "closing asks nothing once saved (again)" '[ -z "$(xdotool search --onlyvisible --name "Saisie des Prises|Avertissement" 2>/dev/null)" ]'
python3 "$ROOT/scripts/outside/integrity.py" "$WORK"/app/Data/*.DB && echo "ok: tables pass their integrity check" || fail=1
exit $fail
