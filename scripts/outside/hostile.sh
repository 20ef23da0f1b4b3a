#!/usr/bin/env bash
# The real program under Xvfb + openbox against hostile surroundings; pictures in /tmp/zo/shots.
#   ulimit    : ulimit -n 1024, a backup and the structure check
#   full      : a backup to a 1 MB tmpfs (a full disk)
#   bomb      : restore of an archive holding 2 GB of zeros as CLIENT.DB, program on a 300 MB tmpfs
#   climb     : restore of archives with "../" entries and a link
#   readonly  : data and program folders read-only, run as the user "nobody": start, backup at exit
#   floppy    : a backup to "A:" with no folder mapped: the insert-disk box until "Annuler"
#   rapport   : RAPPORT.DB missing, then garbage; DJ.INI garbage; the report chooser opened
# Usage: scripts/outside/hostile.sh [case...]   (root: for the tmpfs mounts and setpriv)
set -u
cd "$(dirname "$0")/../.."
. scripts/outside/lib.sh
SHOTS=/tmp/zo/shots; mkdir -p "$SHOTS"
CASES="${*:-ulimit full bomb climb readonly rapport}"
OUTILS="166 27"; declare -A ITEM=([backup]=48 [restore]=70 [reindex]=94 [check]=116 [purge]=140)
menu() { xdotool mousemove $OUTILS click 1; sleep 0.35; xdotool mousemove 210 "${ITEM[$1]}" click 1; }
RUNAS=()
start() {  # DIR
  (cd "$1" && exec "${RUNAS[@]}" ./zelm -platform xcb >>"$1/zelm.log" 2>&1) & PID=$!
  zo_wait "^Distribution de journaux" 80 >/dev/null || { echo "  no main window"; return 1; }
  sleep 0.4
}
stop() { kill -9 $PID 2>/dev/null; wait $PID 2>/dev/null; }
windows() { for w in $(xdotool search --onlyvisible --name "." 2>/dev/null); do xdotool getwindowname "$w"; done | grep -v "^Distribution de journaux\|^Openbox\|^Saisie des invendus" | tr '\n' '|'; }
backup_to() {  # folder
  menu backup; w=$(zo_wait "^Sauvegarde$"); sleep 0.4; xdotool mousemove --window "$w" 90 40 click 1
  zo_wait "^Choisir l'endroit" >/dev/null; sleep 0.4; xdotool type --delay 5 "${1%/}/"; sleep 0.3; xdotool key Return
}
restore_first() {  # restores the first archive of the data folder's list
  menu restore; w=$(zo_wait "^Restaure$"); sleep 0.4; xdotool mousemove --window "$w" 90 40 click 1
  zo_wait "^Confirmation$" >/dev/null; xdotool key alt+o
  w=$(zo_wait "^Restaurer$"); sleep 0.4; xdotool mousemove --window "$w" 250 76 click --repeat 2 --delay 80 1
  zo_wait "^Confirmation$" >/dev/null; xdotool key alt+o
}
result() {  # name: waits for a box, pictures the screen, prints the windows shown
  sleep "${2:-2}"; import -window root "$SHOTS/$1.png"; echo "  $1: windows [$(windows)]"
}

Xvfb :79 -ac -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & XV=$!; export DISPLAY=:79; sleep 0.7
openbox >/dev/null 2>&1 & OB=$!; sleep 0.7
W=/tmp/zo/h
for c in $CASES; do
  echo "== $c"; RUNAS=()
  case $c in
    ulimit)
      zo_install $W 50000; zo_env $W; ulimit -n 1024
      start $W && { mkdir -p $W/bk; backup_to $W/bk; result ulimit_backup 3; xdotool key Escape; sleep 0.5
        menu check; result ulimit_check 3; xdotool key Return; stop
        unzip -tq $W/bk/ZELM.zip && echo "  archive ok: $(unzip -l $W/bk/ZELM.zip | tail -1)"; } ;;
    full)
      zo_install $W 50000; zo_env $W; mkdir -p /tmp/zo/full; mount -t tmpfs -o size=1m tmpfs /tmp/zo/full
      echo "old" > /tmp/zo/full/ZELM.zip
      start $W && { backup_to /tmp/zo/full; result full_backup 3; xdotool key Return; sleep 0.5; result full_after 0.5; stop; }
      echo "  target folder: $(ls -la /tmp/zo/full | tail -n +2 | awk '{print $5, $9}' | tr '\n' ' ')"
      umount /tmp/zo/full ;;
    bomb)
      mkdir -p /tmp/zo/tmpfs; mount -t tmpfs -o size=300m tmpfs /tmp/zo/tmpfs; W2=/tmp/zo/tmpfs/p
      zo_install $W2 20000; zo_env $W2
      python3 - "$W2/Data/ZELM.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    with z.open("CLIENT.DB", "w", force_zip64=True) as f:
        block = bytes(1 << 24)
        for _ in range(128): f.write(block)
PY
      ls -la "$W2/Data/ZELM.zip" | awk '{print "  bomb archive:", $5, "bytes"}'
      (cd $W2/Data && md5sum CLIENT.DB) > /tmp/zo/bomb_before
      start $W2 && { restore_first; result bomb_restore 4; xdotool key Return; stop; }
      (cd $W2/Data && md5sum -c /tmp/zo/bomb_before >/dev/null) && echo "  CLIENT.DB unchanged" || echo "  CLIENT.DB CHANGED"
      df -h /tmp/zo/tmpfs | tail -1 | awk '{print "  tmpfs used:", $3}'; ls $W2/Temp 2>/dev/null | head -3
      umount /tmp/zo/tmpfs ;;
    climb)
      for kind in climb link; do
        zo_install $W 20000; zo_env $W
        python3 - "$W/Data/ZELM.zip" $kind "$W/Data/CLIENT.DB" <<'PY'
import sys, zipfile, stat
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.write(sys.argv[3], "CLIENT.DB")
    if sys.argv[2] == "climb":
        z.writestr("../../evil.DB", b"x" * 100)
    else:
        i = zipfile.ZipInfo("Titre.DB"); i.create_system = 3
        i.external_attr = (stat.S_IFLNK | 0o777) << 16
        z.writestr(i, "/etc/passwd")
PY
        (cd $W/Data && md5sum *.DB *.db) > /tmp/zo/climb_before
        start $W && { restore_first; result restore_$kind 3; xdotool key Return; stop; }
        (cd $W/Data && md5sum -c /tmp/zo/climb_before >/dev/null) && echo "  data unchanged" || echo "  DATA CHANGED"
        [ -e /tmp/zo/evil.DB ] || [ -e $W/evil.DB ] && echo "  ESCAPED" || true
        [ -L $W/Data/Titre.DB ] && echo "  LINK PLANTED" || true
      done ;;
    readonly)
      zo_install $W 20000; mkdir -p $W/rohome; chown nobody $W/rohome; chmod 755 $W $W/Data
      chmod -R a-w $W/Data; chmod a-w $W; chmod -R a+rX $W
      zo_env $W; export HOME=$W/rohome XDG_RUNTIME_DIR=$W/rohome ZELM_REGISTRY_DIR=$W/rohome/reg
      RUNAS=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
      (cd $W/Data && md5sum *) > /tmp/zo/ro_before
      if start $W; then
        result ro_start 1
        menu reindex; result ro_reindex 2; xdotool key Return; sleep 0.5
        menu check; result ro_check 3; xdotool key Return; sleep 0.5
        xdotool mousemove 238 57 click 1; result ro_print 2; xdotool key alt+F4; result ro_print_closed 1.5; xdotool key Return; sleep 0.5
        xdotool key alt+F4; result ro_close_ini 1; xdotool key Return; zo_wait "^Confirmation$" >/dev/null; sleep 0.3; xdotool key alt+o; result ro_close_yes 3
        xdotool key Return; sleep 2; if ps -p $PID >/dev/null; then echo "  still running"; result ro_still 0; stop; else echo "  ended"; fi
      fi
      (cd $W/Data && md5sum -c /tmp/zo/ro_before >/dev/null 2>&1) && echo "  data unchanged" || echo "  DATA CHANGED"
      chmod -R u+w $W ;;
    floppy)
      zo_install $W 20000; zo_env $W
      if start $W; then
        menu backup; w=$(zo_wait "^Sauvegarde$"); sleep 0.4; xdotool mousemove --window "$w" 90 40 click 1
        zo_wait "^Choisir l'endroit" >/dev/null; sleep 0.4; xdotool type --delay 5 "A:"; sleep 0.3; xdotool key Return
        for k in 1 2 3; do result floppy_ask_$k 1; xdotool key Return; done
        result floppy_cancel 1; xdotool key Escape; result floppy_after 1; stop
      fi ;;
    rapport)
      for kind in missing garbage djini; do
        zo_install $W 20000; zo_env $W
        case $kind in
          missing) rm -f $W/RAPPORT.* ;;
          garbage) head -c 20000 /dev/urandom > $W/RAPPORT.DB ;;
          djini) printf '\xff\xfe[PRINT\nLSTPRINT=-99999999999999\nDEB=zz/zz/zzzz\nFIN=\x01\x02\n[[[\n' > $W/Data/DJ.INI ;;
        esac
        start $W && { xdotool mousemove 238 57 click 1; result rapport_$kind 2; xdotool key Return; sleep 0.4; xdotool key alt+F4; result rapport_${kind}_closed 1; stop; }
      done ;;
  esac
done
kill $OB $XV 2>/dev/null
