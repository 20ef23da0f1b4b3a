#!/usr/bin/env bash
# A backup to "A:" mapped (registry store) to a 1.44 MB tmpfs taken as a removable drive: the set
# spans several disks, the operator "changes the disk" (the script moves the files away) at each
# request; then the program is started again and restores the set, disk by disk, from the last.
# The restored tables must be byte-identical to those saved.
set -u
ZO="${ZO_DIR:-/tmp/zo}"  # working folder of the run; another may hold its own
cd "$(dirname "$0")/../.."
. scripts/outside/lib.sh
W=$ZO/fl; M=$ZO/fl_mount; B=$ZO/fl_disks; SHOTS=$ZO/shots; mkdir -p $SHOTS
OUTILS="166 27"; declare -A ITEM=([backup]=48 [restore]=70)
menu() { xdotool mousemove $OUTILS click 1; sleep 0.35; xdotool mousemove 210 "${ITEM[$1]}" click 1; }
start() {
  (cd "$W" && exec ./zelm -platform xcb >>"$W/zelm.log" 2>&1) & PID=$!
  zo_wait "^Distribution de journaux" 80 >/dev/null; sleep 0.4
}
boxes() { for w in $(xdotool search --onlyvisible --name "." 2>/dev/null); do xdotool getwindowname "$w"; done | grep -v "^Distribution de journaux\\|^Openbox\\|^Saisie des invendus\\|^Sauvegarde$\\|^Restaure$" | tr '\n' '|'; }
umount $M 2>/dev/null; rm -rf $B; mkdir -p $M $B
mount -t tmpfs -o size=1440k tmpfs $M
zo_install $W 60000; zo_env $W
mkdir -p $W/reg; printf '[Software\\ZELM\\Lecteurs]\nA=%s\nA.Type=amovible\nA.Taille=1457664\n' $M > $W/reg/HKEY_CURRENT_USER.ini
(cd $W/Data && md5sum *) > $ZO/fl_saved.md5
zo_display "${ZO_DISPLAY:-:83}"
start
menu backup; w=$(zo_wait "^Sauvegarde$"); sleep 0.4; xdotool mousemove --window "$w" 90 40 click 1
zo_wait "^Choisir l'endroit" >/dev/null; sleep 0.4; xdotool type --delay 5 "$M/"; sleep 0.3; xdotool key Return
take_disk() {  # the operator takes the written disk out and puts an empty one in
  [ -n "$(ls -A $M)" ] || return 0
  disk=$((disk+1)); mkdir -p $B/$disk; mv $M/* $M/.[!.]* $B/$disk/ 2>/dev/null
}
put_disk() { rm -rf $M/* $M/.[!.]* 2>/dev/null; cp -a $B/$1/. $M/; }
disk=0
for i in $(seq 1 40); do
  sleep 1.5; b=$(boxes)
  if [ -z "$b" ]; then ps -p $PID >/dev/null && ! xdotool search --onlyvisible --name "^Sauvegarde$" >/dev/null 2>&1 && continue; break; fi
  import -window root $SHOTS/floppy_backup_$i.png
  echo "  backup box: $b"
  take_disk; xdotool key Return
done
take_disk
echo "disks written: $disk: $(for d in $(seq 1 $disk); do echo -n "$d:[$(head -c 11 $B/$d/.zelm-volume 2>/dev/null) $(stat -c %s $B/$d/ZELM.zip 2>/dev/null)] "; done)"
kill -9 $PID 2>/dev/null; wait $PID 2>/dev/null
# the data changed, then the program started again: restore from the disks
sqlite3 $W/Data/Disto.DB "delete from Disto where rowid % 2 = 0"
start
put_disk $disk
menu restore; w=$(zo_wait "^Restaure$"); sleep 0.4; xdotool mousemove --window "$w" 90 40 click 1
zo_wait "^Confirmation$" >/dev/null; sleep 0.3; xdotool key alt+o
w=$(zo_wait "^Restaurer$"); sleep 0.4; xdotool mousemove --window "$w" 108 297 click 1; zo_wait "^Choisir un r" >/dev/null
sleep 0.5; xdotool type --delay 5 "$M/"; sleep 0.3; xdotool key Return; sleep 1
import -window root $SHOTS/floppy_restore_list.png
w=$(zo_wait "^Restaurer$"); xdotool mousemove --window "$w" 250 76 click --repeat 2 --delay 80 1
zo_wait "^Confirmation$" >/dev/null; sleep 0.3; xdotool key alt+o
for i in $(seq 1 40); do
  sleep 1.5; b=$(boxes)
  [ -z "$b" ] && break
  import -window root $SHOTS/floppy_restore_$i.png
  n=$(xdotool getwindowname $(xdotool getactivewindow) 2>/dev/null)
  echo "  restore box: $b"
  # which disk is asked for: "volume n°K" in the box is not readable here, so the disks go in
  # the order the component asks for them: the last first, then from the first on
  if [ $i -gt 0 ]; then k=$(( i == 1 ? 1 : i )); [ $k -le $disk ] && put_disk $k; fi
  xdotool key Return
done
kill -9 $PID 2>/dev/null; wait $PID 2>/dev/null
(cd $W/Data && md5sum -c $ZO/fl_saved.md5 2>/dev/null | grep -v ': OK$' | grep -v "DJ.INI\|Lundi" ) && echo "  RESTORED TABLES DIFFER" || echo "  restored tables byte-identical"
zo_display_stop; umount $M
