#!/usr/bin/env bash
# A full disk in the middle of a morning's typing: the program installed on a small tmpfs, the
# disk filled up by another file while "Saisie des Prises" (then "Saisie des invendus") is open. Quantities typed and saved
# on the full disk: the French error box, the window and its typing kept, nothing of the day
# stored, every table whole; the other file removed: the same save stores every typed quantity.
# Usage: scripts/outside/ops_fulldisk.sh   (as root: the tmpfs mount)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] || { echo "run as root (tmpfs mount)"; exit 2; }
WORK=$(mktemp -d /tmp/ops_full.XXXXXX)
OUT="$ROOT/shots"; mkdir -p "$OUT"
TODAY=$(date +%F)
install_app "$WORK/cache"
size=$(du -sk "$WORK/cache" | cut -f1)
mkdir -p "$WORK/disk"; mount -t tmpfs -o size=$((size + 8192))k tmpfs "$WORK/disk"
cp -a "$WORK/cache" "$WORK/disk/app"; rm -rf "$WORK/cache"
APP="$WORK/disk/app"
start_x
trap 'kill -9 "$APP_PID" 2>/dev/null; wait "$APP_PID" 2>/dev/null; stop_x; umount "$WORK/disk"; rm -rf "$WORK"' EXIT
start_app "$APP"
fail=0
day() { sqlite3 -readonly "$APP/Data/Disto.DB" "SELECT count(*)||' '||total(Qte_Prise) FROM Disto WHERE DateJ='$TODAY'"; }
SEEN=0  # error boxes closed so far
close_boxes() { local i; for i in 1 2 3 4; do
  [ -z "$(xdotool search --onlyvisible --name Erreur 2>/dev/null)" ] && return 0
  SEEN=$((SEEN+1)); xdotool key Return; sleep 0.7; done; return 1; }
main=$(wait_win "Distribution de journaux" 100); sleep 2
w=$(open_takings "$main")
before=$(day)
# the disk filled by someone else
dd if=/dev/zero of="$WORK/disk/filler" bs=64k 2>/dev/null
echo "free on the disk: $(df -k "$WORK/disk" | tail -1 | awk '{print $4}') kB"
xdotool windowactivate --sync "$w" >/dev/null 2>&1
for q in 11 12 13; do
  xdotool type --delay 5 $q; xdotool key Tab; sleep 0.5
  close_boxes  # a cell left is posted at once: a refused post brings its box then
done
xdotool key ctrl+s; sleep 1.5
shot "$OUT/outside-fulldisk.png"
close_boxes
check "the full disk is named in an error box (at a cell's post or at the save)" '[ "$SEEN" -gt 0 ]'
check "nothing of the day stored on the full disk" '[ "$(day)" = "$before" ]'
check "the window stays" '[ -n "$(wait_win "Saisie des Prises" 10)" ]'
integ=$(python3 "$ROOT/scripts/outside/integrity.py" "$APP/Data") && echo "ok: tables whole on the full disk" || { echo "FAILED: $integ"; fail=1; }
rm -f "$WORK/disk/filler"
xdotool windowactivate --sync "$w" >/dev/null 2>&1
xdotool key ctrl+s; sleep 2
shot "$OUT/outside-fulldisk-again.png"
check "no box once there is room again" '[ -z "$(xdotool search --onlyvisible --name Erreur 2>/dev/null)" ]'
after=$(day)
check "the typing kept through the failure is stored (total 36)" '[ "${after#* }" = 36.0 ]'
close_boxes
xdotool windowactivate --sync "$w" >/dev/null 2>&1; xdotool key ctrl+F4; sleep 1
check "closing asks nothing once saved" '[ -z "$(xdotool search --onlyvisible --name "Saisie des Prises|Avertissement" 2>/dev/null)" ]'
integ=$(python3 "$ROOT/scripts/outside/integrity.py" "$APP/Data") && echo "ok: tables whole" || { echo "FAILED: $integ"; fail=1; }

# The same in "Saisie des invendus" on the latest week: eight unsold quantities (77).
WEEK=$(sqlite3 -readonly "$APP/Data/Retour.DB" "SELECT max(Week) FROM Retour")
week() { sqlite3 -readonly "$APP/Data/Retour.DB" "SELECT count(*) FROM Retour WHERE Week='$WEEK' AND Qte=77"; }
xdotool windowactivate --sync "$main" >/dev/null 2>&1
xdotool mousemove 99 27 click 1; sleep 0.5; xdotool mousemove 140 94 click 1
w=$(wait_win "Saisie des invendus" 100); sleep 1
xdotool mousemove 254 232 click 1; sleep 1         # calendar on the shown week
xdotool mousemove 675 573 click 1; sleep 2         # OK: the week loads
before=$(week)
dd if=/dev/zero of="$WORK/disk/filler" bs=64k 2>/dev/null
SEEN=0
for i in 1 2 3 4 5 6 7 8; do xdotool type --delay 20 77; xdotool key Down; done
sleep 0.5; close_boxes
xdotool key ctrl+s; sleep 1.5
shot "$OUT/outside-fulldisk-returns.png"
close_boxes
check "returns: the full disk is named in an error box" '[ "$SEEN" -gt 0 ]'
check "returns: nothing of the week stored on the full disk" '[ "$(week)" = "$before" ]'
check "returns: the window stays" '[ -n "$(wait_win "Saisie des invendus" 10)" ]'
rm -f "$WORK/disk/filler"
xdotool windowactivate --sync "$w" >/dev/null 2>&1
xdotool key ctrl+s; sleep 2
check "returns: no box once there is room again" '[ -z "$(xdotool search --onlyvisible --name Erreur 2>/dev/null)" ]'
check "returns: the eight typed quantities are stored" '[ "$(week)" = 8 ]'
integ=$(python3 "$ROOT/scripts/outside/integrity.py" "$APP/Data") && echo "ok: tables whole" || { echo "FAILED: $integ"; fail=1; }
exit $fail
