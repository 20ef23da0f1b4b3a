#!/usr/bin/env bash
# kill -9 (or SIGTERM) of the real program at a random moment of a backup, a restore, a purge and
# pack, and a reindexing, driven with xdotool under Xvfb + openbox. After each run: every table is
# either its old or its new state, passes its integrity check, the program starts again and its
# structure check ends with "Contrôle terminé !" and nothing else (an "Information" box).
# Usage: scripts/outside/kill_maint.sh [runs per operation] [signal] [operations...]
# KILL_ROWS: takings and returns copied from the generated year (default 300000; 9000000: all)
# KILL_AT=list: a restore is killed the moment its list of copies lands in the data folder, just
# before the tables are put in place (inotifywait), instead of at a random moment. The log then
# counts the tables right after the kill and after the next start as old, new or mixed.
set -u
ZO="${ZO_DIR:-/tmp/zo}"  # working folder of the run; another may hold its own
cd "$(dirname "$0")/../.."
. scripts/outside/lib.sh
RUNS="${1:-20}"; SIG="${2:-KILL}"; shift 2 2>/dev/null || true
OPS="${*:-backup restore purge reindex}"
W=$ZO/kill_$SIG${KILL_FROM:+_$KILL_FROM}; BASE=$ZO/killbase${KILL_ROWS:+_$KILL_ROWS}; ARCH=$ZO/killarch${KILL_ROWS:+_$KILL_ROWS}; LOG=$ZO/kill_$SIG${KILL_FROM:+_$KILL_FROM}.log
mkdir -p "$ZO"; : > "$LOG"
OUTILS="166 27"; declare -A ITEM=([backup]=48 [restore]=70 [reindex]=94 [check]=116 [purge]=140)

menu() { xdotool mousemove $OUTILS click 1; sleep 0.35; xdotool mousemove 210 "${ITEM[$1]}" click 1; }
start() {
  (cd "$W" && exec ./zelm -platform xcb >>"$W/zelm.log" 2>&1) & PID=$!
  zo_wait "^Distribution de journaux" 80 >/dev/null || { echo "no main window" ; return 1; }
  sleep 0.3
}
tables_state() {  # one line per table file: name and checksum
  # the restore's staged copies ("~restaure.*") are no tables; they go at the next start
  (cd "$W/Data" && for f in *.DB *.db; do case $f in "~"*) continue ;; esac; [ -f "$f" ] && echo "$f $(md5sum < "$f" | cut -c1-32)"; done)
}
# Rows of the three purged tables as the program will find them. A kill leaves a hot journal that
# only a writer rolls back ("-readonly" fails on it), and the data folder must stay as the kill
# left it for the restart: each table is counted on a copy, its journal with it, opened
# read-write. The journal names the engine's super-journal by its full path, so the copy is rolled
# back, or not, exactly as the table itself will be.
counts() {
  local c="$W/counts.tmp" t
  for t in Disto Retour Ha; do
    rm -rf "$c"; mkdir -p "$c"
    cp "$W/Data/$t.DB" "$c/" 2>/dev/null
    [ -f "$W/Data/$t.DB-journal" ] && cp "$W/Data/$t.DB-journal" "$c/"
    sqlite3 "$c/$t.DB" "select count(*) from $t" 2>&1
  done | tr '\n' ' '
  rm -rf "$c"
}

# whole STATE_FILE: "old", "new" or "mixed(k/n)" over the tables the restore changes (those whose
# old and new states differ), k of the n being new.
whole() {
  local f sum k=0 m=0
  while read -r f sum; do
    grep -q "^$f " "$W/before.txt" && ! grep -qx "$f $sum" "$W/before.txt" || continue
    m=$((m+1)); grep -qx "$f $(grep "^$f " "$1" | cut -d' ' -f2)" "$W/new.txt" && k=$((k+1))
  done < "$W/new.txt"
  if [ $k = 0 ]; then echo old; elif [ $k = $m ]; then echo new; else echo "mixed($k/$m)"; fi
}

if [ ! -d "$BASE" ]; then
  zo_install "$BASE" "${KILL_ROWS:-300000}"
  # the tables the generated year lacks, as the program creates them in a folder without data
  E="$ZO/empty"; rm -rf "$E"; mkdir -p "$E/home"; cp "$ZO_BIN/zelm" "$ZO_BIN"/lib*.so "$ZO_BIN"/RAPPORT.* "$E/"
  (cd "$E" && HOME="$E/home" ZELM_REGISTRY_DIR="$E/reg" QT_QPA_PLATFORM=offscreen timeout 10 ./zelm >/dev/null 2>&1)
  cp "$E"/Data/{IMPRIMERIE,Liste,Site,TLISTE}.* "$BASE/Data/"
  # the archive offered to the restore: the same tables with every other taking gone
  cp -a "$BASE" $ARCH
  sqlite3 $ARCH/Data/Disto.DB "delete from Disto where rowid % 2 = 0; vacuum"
  sqlite3 $ARCH/Data/Retour.DB "delete from Retour where rowid % 3 = 0; vacuum"
  sqlite3 $ARCH/Data/VCR.DB "delete from VCR where rowid % 2 = 0; vacuum"
  (cd $ARCH/Data && zip -q -1 "$BASE/ZELM.zip" *.*)
fi
zo_display "${KILL_DISPLAY:-$([ "$SIG" = KILL ] && echo :78 || echo :84)}"
zo_env "$W"
fails=0; n=0
for op in $OPS; do
  for i in $(seq 1 "$RUNS"); do
    n=$((n+1))
    rm -rf "$W"; cp -a "$BASE" "$W"; zo_env "$W"; export HOME="$W/home" ZELM_REGISTRY_DIR="$W/reg"
    [ "$op" = restore ] && cp "$BASE/ZELM.zip" "$W/Data/ZELM.zip"
    tables_state > "$W/before.txt"; before_counts=$(counts)
    start || { echo "$op $i: start failed" >>"$LOG"; fails=$((fails+1)); kill -9 $PID 2>/dev/null; continue; }
    case $op in
      backup)
        menu backup; w=$(zo_wait "^Sauvegarde$"); sleep 0.4; xdotool mousemove --window "$w" 90 40 click 1
        zo_wait "^Choisir l'endroit" >/dev/null; sleep 0.4; mkdir -p "$W/bk"; xdotool type --delay 5 "$W/bk/"; sleep 0.3; xdotool key Return ;;
      restore)
        menu restore; w=$(zo_wait "^Restaure$"); sleep 0.4; xdotool mousemove --window "$w" 90 40 click 1
        zo_wait "^Confirmation$" >/dev/null; xdotool key alt+o
        w=$(zo_wait "^Restaurer$"); sleep 0.4; xdotool mousemove --window "$w" 250 76 click --repeat 2 --delay 80 1
        zo_wait "^Confirmation$" >/dev/null
        if [ "${KILL_AT:-}" = list ]; then
          inotifywait -q -e moved_to,create --include '~restaure\.journal$' "$W/Data" >/dev/null 2>"$W/inotify.err" & IW=$!
          sleep 0.3
        fi
        xdotool key alt+o ;;
      reindex) menu reindex ;;
      purge)
        menu purge; w=$(zo_wait "^Epuration des fichiers$"); sleep 0.2
        xdotool mousemove --window "$w" 110 57 click 1; xdotool type --delay 5 "01/01/2025"
        xdotool mousemove --window "$w" 110 89 click 1; xdotool type --delay 5 "05/01/2025"
        xdotool mousemove --window "$w" 264 60 click 1
        zo_wait "^Avertissement$|^Attention$|^Confirmation$" >/dev/null; xdotool key alt+o
        zo_wait "^Confirmation$" >/dev/null; sleep 0.1; xdotool key Return ;;
    esac
    span=1.2; [ "$op" = backup ] && span=2.2  # a backup of this data takes about 1.7 s
    span=${KILL_SPAN:-$span}  # KILL_FROM, KILL_SPAN: aim at one stretch of the operation
    delay=$(awk -v s=$RANDOM -v a=${KILL_FROM:-0} -v m=$span 'BEGIN{srand(s); printf "%.3f", a+rand()*m}')
    if [ "$op" = restore ] && [ "${KILL_AT:-}" = list ]; then
      delay=list; wait $IW; kill -s "$SIG" $PID 2>/dev/null
    else
      sleep "$delay"; kill -s "$SIG" $PID 2>/dev/null
    fi
    wait $PID 2>/dev/null; rc=$?
    # the data folder: every table its old or its new state, whole
    tables_state > "$W/after.txt"
    bad=""
    integ=$(python3 scripts/outside/integrity.py "$W/Data") || bad="$bad integrity[$integ]"
    case $op in
      backup) cmp -s "$W/before.txt" "$W/after.txt" || bad="$bad data-changed"
              if [ -f "$W/bk/ZELM.zip" ]; then unzip -tq "$W/bk/ZELM.zip" >/dev/null 2>&1 || bad="$bad archive-broken"; fi ;;
      restore) (cd $ARCH/Data && for f in *.DB *.db; do echo "$f $(md5sum < "$f" | cut -c1-32)"; done) > "$W/new.txt"
              while read -r f sum; do
                grep -qx "$f $sum" "$W/before.txt" || grep -qx "$f $sum" "$W/new.txt" || bad="$bad $f-mixed"
              done < "$W/after.txt" ;;
      reindex) [ "$(counts)" = "$before_counts" ] || bad="$bad counts[$(counts)]" ;;
      purge) c=$(counts); [ "$c" = "$before_counts" ] || [ "${c%% *}" != "${before_counts%% *}" ] || bad="$bad counts[$c]"
             # the three deletions are one: either all three tables lost rows or none did
             set -- $before_counts; b1=$1 b2=$2 b3=$3; set -- $c
             if [ "$1" = "$b1" ] && { [ "$2" != "$b2" ] || [ "$3" != "$b3" ]; }; then bad="$bad half-purge[$c]"; fi
             if [ "$1" != "$b1" ] && { [ "$2" = "$b2" ] || [ "$3" = "$b3" ]; }; then bad="$bad half-purge[$c]"; fi ;;
    esac
    states_line=""
    leftovers=$(ls -a "$W/Data" "$W/bk" 2>/dev/null | grep -E '^~|\.part$|ZELM' | tr '\n' ' ')
    [ "$op" = restore ] && killed=$(whole "$W/after.txt")

    # start again, structure check
    if start; then
      menu check; res=$(zo_wait "^Information$|^Avertissement$|^Erreur$|^Attention$" 120)
      title=$(xdotool getwindowname "$res" 2>/dev/null)
      [ "$title" = "Information" ] || { bad="$bad check[$title]"; import -window root "$W/../kill_${op}_$i.png"; }
      kill -9 $PID 2>/dev/null; wait $PID 2>/dev/null
      integ=$(python3 scripts/outside/integrity.py "$W/Data") || bad="$bad integrity-after-restart[$integ]"
      if [ $op = restore ]; then  # once started again, the restore is wholly there or wholly not
        tables_state > "$W/restarted.txt"; states=""
        for f in Disto.DB Retour.DB VCR.DB; do
          if grep -qx "$(grep "^$f " "$W/restarted.txt")" "$W/new.txt"; then states="${states}n"; else states="${states}o"; fi
        done
        case $states in nnn|ooo) ;; *) bad="$bad half-restored[$states]" ;; esac
        restarted=$(whole "$W/restarted.txt"); states_line="killed:$killed restarted:$restarted"
        case $restarted in mixed*) bad="$bad mixed-after-restart" ;; esac
      fi
    else
      bad="$bad no-restart"; kill -9 $PID 2>/dev/null
    fi
    line="$op $i ${states_line:+$states_line }sig=$SIG after=${delay}s rc=$rc counts:[$before_counts]->[$(counts)] leftovers:[$leftovers] ${bad:-OK}"
    echo "$line" | tee -a "$LOG"
    [ -n "$bad" ] && { fails=$((fails+1)); cp -a "$W" "$ZO/fail_${op}_${SIG}_$i"; }
  done
done
zo_display_stop
echo "runs=$n failures=$fails" | tee -a "$LOG"
[ "$fails" = 0 ]
