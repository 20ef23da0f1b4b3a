#!/usr/bin/env bash
# The real program on a read-only data folder, run as a user without rights on it (nobody, via
# setpriv: root would ignore the permissions). A quantity typed and saved in "Saisie des Prises"
# must bring the French error box, keep the window and its typing, the leave question's "Oui" must
# keep the window open, "Non" close it, and no table file may change.
# Usage: scripts/outside/ops_readonly.sh   (as root)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] || { echo "run as root (it drops to nobody)"; exit 2; }
WORK=$(mktemp -d /tmp/ops_ro.XXXXXX); chmod 755 "$WORK"
OUT="$ROOT/shots"; mkdir -p "$OUT"
install_app "$WORK/app"
mkdir -p "$WORK/home"; chown nobody "$WORK/home"
chmod -R a-w "$WORK/app"; chmod a+rx "$WORK/app" "$WORK/app/Data"
before=$(cd "$WORK/app/Data" && md5sum * | md5sum)
start_x
xhost +local: >/dev/null 2>&1 || true
( cd "$WORK/app" && exec setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$WORK/home" \
    ZELM_REGISTRY_DIR="$WORK/home/reg" XDG_RUNTIME_DIR="$WORK/home" DISPLAY="$DISPLAY" ./zelm \
    >"$WORK/home/log" 2>&1 ) & APP_PID=$!
trap 'kill "$APP_PID" 2>/dev/null; stop_x; chmod -R u+w "$WORK"; rm -rf "$WORK"' EXIT
fail=0
wait_win "Distribution de journaux" 100 >/dev/null; sleep 2
xdotool mousemove 99 27 click 1; sleep 0.5; xdotool mousemove 140 48 click 1
w=$(wait_win "Saisie des Prises" 100); sleep 1
xdotool windowactivate --sync "$w" >/dev/null 2>&1
xdotool type 5; xdotool key Return; sleep 0.3; xdotool type 8; sleep 0.3
xdotool key ctrl+s; sleep 1.5
shot "$OUT/outside-readonly-save.png"
check "the save brings the error box" '[ -n "$(wait_win Erreur 20)" ]'
xdotool key Return; sleep 0.5
xdotool windowactivate --sync "$w" >/dev/null 2>&1; xdotool key ctrl+F4; sleep 1
check "closing asks the leave question" '[ -n "$(wait_win Avertissement 20)" ]'
xdotool key Return; sleep 1                            # "Oui": the save fails again
check "Oui brings the error box again" '[ -n "$(wait_win Erreur 20)" ]'
xdotool key Return; sleep 0.5
check "the window stays after the failed save" '[ -n "$(wait_win "Saisie des Prises" 10)" ]'
xdotool windowactivate --sync "$w" >/dev/null 2>&1; xdotool key ctrl+F4; sleep 1
xdotool key Tab space; sleep 1                         # "Non"
check "Non closes the window" '[ -z "$(xdotool search --onlyvisible --name "Saisie des Prises" 2>/dev/null)" ]'
after=$(cd "$WORK/app/Data" && md5sum * | md5sum)
check "no table file changed" '[ "$before" = "$after" ]'
exit $fail
