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
install_app "$WORK/app"
convert -size 64x48 xc:skyblue "$WORK/app/accueil.bmp"
start_x
( cd "$WORK/app" && exec env HOME="$WORK/app/home" ZELM_REGISTRY_DIR="$WORK/app/reg" \
    XDG_RUNTIME_DIR="$WORK/app/home" ./zelm >"$WORK/app/zelm.log" 2>&1 ) & APP_PID=$!
trap 'kill "$APP_PID" 2>/dev/null; stop_x; rm -rf "$WORK"' EXIT
main=$(wait_win "Distribution de journaux" 150) || { echo "no main window"; exit 1; }
sleep 2
# the maximised main window's menu bar: Fichier at x 30, Outils at x 166
menu_y=27

xdotool windowactivate --sync "$main" >/dev/null 2>&1
xdotool mousemove 30 $menu_y click 1; sleep 0.7
keys i; sleep 1.5
p=$(wait_win "^Impressions$" 50) || { echo "no report chooser"; exit 1; }
xdotool windowactivate --sync "$p" >/dev/null 2>&1
eval "$(xdotool getwindowgeometry --shell "$p")"
Y=$((Y - 19))   # openbox reports the window's top under its title bar's height
xdotool mousemove $((X + 100)) $((Y + 34)) click 1; sleep 0.7        # "Liste de distribution du jour"
xdotool mousemove $((X + 434)) $((Y + 53)) click 1; sleep 1          # the arrow of "Journée"
shot "$OUT/locale-journee.png"
keys Escape; sleep 0.3; keys Escape; sleep 0.5
xdotool mousemove $((X + 500)) $((Y + 234)) click 1; sleep 1       # "Fermer"

# Outils > Changer l'image d'accueil
xdotool windowactivate --sync "$main" >/dev/null 2>&1; sleep 0.5
xdotool mousemove 166 $menu_y click 1; sleep 1
xdotool mousemove 250 188 click 1; sleep 2
wait_win "^Ouvrir$" 50 >/dev/null || echo "no picture chooser"
shot "$OUT/locale-image-chooser.png"
keys Escape; sleep 1

# Outils > Sauvegarder, then "Sauvegarder": the folder chooser
xdotool windowactivate --sync "$main" >/dev/null 2>&1; sleep 0.5
xdotool mousemove 166 $menu_y click 1; sleep 1
xdotool mousemove 250 48 click 1; sleep 1.5
keys alt+s; sleep 2
wait_win "sauvegarder" 50 >/dev/null || echo "no folder chooser"
shot "$OUT/locale-folder-chooser.png"
keys Escape; sleep 0.5
ls "$OUT"/locale-*.png
