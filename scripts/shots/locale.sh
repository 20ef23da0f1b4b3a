#!/usr/bin/env bash
# The real program on a machine whose locale is not French (LANG=en_US.UTF-8), under Xvfb and
# openbox, with pictures in shots/locale-*.png: the "Journée" calendar of Fichier > Imprimer
# (list tab), the chooser of Outils > Changer l'image d'accueil and the folder chooser of
# Outils > Sauvegarder, "Sauvegarder". Run as root (the outside helpers); needs xdotool,
# imagemagick, openbox and the en_US.UTF-8 locale (locale-gen).
set -uo pipefail
source "$(dirname "$0")/../outside/lib.sh"
export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
OUT="$ROOT/shots"; mkdir -p "$OUT"
WORK=$(mktemp -d /tmp/shots_locale.XXXXXX)
install_program "$WORK/app"
mkdir -p "$WORK/app/Images"; touch "$WORK/app/Images/accueil.bmp"
start_x
( cd "$WORK/app" && exec env HOME="$WORK/app/home" ZELM_REGISTRY_DIR="$WORK/app/reg" \
    XDG_RUNTIME_DIR="$WORK/app/home" ./zelm >"$WORK/app/zelm.log" 2>&1 ) & APP_PID=$!
trap 'kill "$APP_PID" 2>/dev/null; stop_x; rm -rf "$WORK"' EXIT
main=$(wait_win "Distribution de journaux" 150) || { echo "no main window"; exit 1; }
sleep 2
# an empty first start may ask questions: answered with Enter
for _ in 1 2 3; do
  w=$(xdotool getactivewindow 2>/dev/null); [ "$w" = "$main" ] && break; keys Return; sleep 1
done
# the menu bar's entries, from the left: Fichier, Traitements, Outils
eval "$(xdotool getwindowgeometry --shell "$main")"
menu_y=$((Y + 10))

xdotool windowactivate --sync "$main" >/dev/null 2>&1; keys alt+f i; sleep 1.5
p=$(wait_win "^Impressions$" 50) || { echo "no report chooser"; exit 1; }
xdotool windowactivate --sync "$p" >/dev/null 2>&1
eval "$(xdotool getwindowgeometry --shell "$p")"
xdotool mousemove $((X + 60)) $((Y + 36)) click 1; sleep 0.5      # the list, in the reports' list
xdotool mousemove $((X + 242 + 80 + 110)) $((Y + 8 + 24 + 10 + 11)) click 1; sleep 1  # the calendar arrow
shot "$OUT/locale-journee.png"
keys Escape; sleep 0.3; keys Escape; sleep 0.5
xdotool windowactivate --sync "$p" >/dev/null 2>&1; xdotool windowclose "$p" 2>/dev/null || keys alt+F4
sleep 1

xdotool windowactivate --sync "$main" >/dev/null 2>&1
xdotool mousemove ${OUTILS_X:-150} $menu_y click 1; sleep 0.7
shot "$OUT/locale-outils.png"
