#!/usr/bin/env bash
# The real program under Xvfb + openbox against hostile surroundings; pictures in $ZO/shots
# ($ZO: ZO_DIR, default /tmp/zo; display ZO_DISPLAY, default :79).
#   ulimit    : ulimit -n 1024, a backup, the structure check and a restore
#   full      : a backup to a 1 MB tmpfs (a full disk)
#   bomb      : restore of an archive holding 2 GB of zeros as CLIENT.DB, program on a 300 MB tmpfs
#   climb     : restore of archives with "../" entries, a link, a name twice (case apart),
#               a damaged central directory
#   readonly  : data and program folders read-only, run as the user "nobody": start, backup at exit
#   floppy    : a backup to "A:" with no disk in the drive: the insert-disk box until "Annuler"
#   zip64     : restore of a backup written by `zip -fz` (zip64 records): the tables come back
#   altered   : restore of archives whose takings file was altered with sqlite3 (a trigger; no key
#               index and a key twice; a column renamed; a column with a CHECK; WITHOUT ROWID; 10,000
#               tables more; through writable_schema a default of random bytes, a table sqlite_stat9,
#               a key twice behind an index still called unique; the description beside the table
#               altered, its fields or indexes emptied, two fields swapped; 3,000,000,000 and 1e300 in a quantity and a price, with a column more):
#               refused, nothing changed; then the
#               same files in Data/ and the structure check: the table becomes the program's own
#               again, a key twice is told, no row goes (ALTERED_KINDS="many ..." runs only those)
#   year      : purge of January on a copy of the whole generated year, timed, then the check
#   fullpurge : purge and pack of a month with the program on a tmpfs that holds the data and
#               little more: the pack cannot finish; every table stays whole, with or without the month
#   rapport   : RAPPORT.DB missing, then garbage; DJ.INI garbage; the report chooser opened
# Usage: scripts/outside/hostile.sh [case...]   (root: for the tmpfs mounts and setpriv)
set -u
ZO="${ZO_DIR:-/tmp/zo}"  # working folder of the run; another may hold its own
cd "$(dirname "$0")/../.."
. scripts/outside/lib.sh
SHOTS=$ZO/shots; mkdir -p "$SHOTS"
CASES="${*:-ulimit full bomb climb altered readonly rapport}"
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

Xvfb ${ZO_DISPLAY:-:79} -ac -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & XV=$!; export DISPLAY=${ZO_DISPLAY:-:79}; sleep 0.7
openbox >/dev/null 2>&1 & OB=$!; sleep 0.7
W=$ZO/h
for c in $CASES; do
  echo "== $c"; RUNAS=()
  case $c in
    ulimit)
      zo_install $W 50000; zo_env $W; ulimit -n 1024
      start $W && { mkdir -p $W/bk; backup_to $W/bk; result ulimit_backup 3; xdotool key Escape; sleep 0.5
        menu check; result ulimit_check 3; xdotool key Return; stop
        unzip -tq $W/bk/ZELM.zip && echo "  archive ok: $(unzip -l $W/bk/ZELM.zip | tail -1)"
        # and that backup restored under the same limit, over changed takings
        cp $W/bk/ZELM.zip $W/Data/; (cd $W/Data && md5sum *.DB *.db) > $ZO/ulimit_saved
        sqlite3 $W/Data/Disto.DB "delete from Disto where rowid % 2 = 0"
        start $W && { restore_first; result ulimit_restore 4; windows | grep -q Erreur && xdotool key Return; stop; }
        (cd $W/Data && md5sum -c $ZO/ulimit_saved >/dev/null 2>&1) && echo "  tables restored" || echo "  TABLES NOT RESTORED"; } ;;
    full)
      zo_install $W 50000; zo_env $W; mkdir -p $ZO/full; mount -t tmpfs -o size=1m tmpfs $ZO/full
      echo "old" > $ZO/full/ZELM.zip
      start $W && { backup_to $ZO/full; result full_backup 3; xdotool key Return; sleep 0.5; result full_after 0.5; stop; }
      echo "  target folder: $(ls -la $ZO/full | tail -n +2 | awk '{print $5, $9}' | tr '\n' ' ')"
      umount $ZO/full ;;
    bomb)
      mkdir -p $ZO/tmpfs; mount -t tmpfs -o size=300m tmpfs $ZO/tmpfs; W2=$ZO/tmpfs/p
      zo_install $W2 20000; zo_env $W2
      python3 - "$W2/Data/ZELM.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    with z.open("CLIENT.DB", "w", force_zip64=True) as f:
        block = bytes(1 << 24)
        for _ in range(128): f.write(block)
PY
      ls -la "$W2/Data/ZELM.zip" | awk '{print "  bomb archive:", $5, "bytes"}'
      (cd $W2/Data && md5sum CLIENT.DB) > $ZO/bomb_before
      start $W2 && { restore_first; result bomb_restore 4; xdotool key Return; stop; }
      (cd $W2/Data && md5sum -c $ZO/bomb_before >/dev/null) && echo "  CLIENT.DB unchanged" || echo "  CLIENT.DB CHANGED"
      df -h $ZO/tmpfs | tail -1 | awk '{print "  tmpfs used:", $3}'; ls $W2/Temp 2>/dev/null | head -3
      umount $ZO/tmpfs ;;
    climb)
      for kind in climb link dup cdbroken; do
        zo_install $W 20000; zo_env $W
        python3 - "$W/Data/ZELM.zip" $kind "$W/Data/CLIENT.DB" <<'PY'
import sys, zipfile, stat
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.write(sys.argv[3], "CLIENT.DB")
    if sys.argv[2] == "climb":
        z.writestr("../../evil.DB", b"x" * 100)
    elif sys.argv[2] == "dup":
        z.writestr("client.db", b"y" * 100)
    elif sys.argv[2] == "cdbroken":
        z.writestr("Titre.DB", b"z" * 5000)
    else:
        i = zipfile.ZipInfo("Titre.DB"); i.create_system = 3
        i.external_attr = (stat.S_IFLNK | 0o777) << 16
        z.writestr(i, "/etc/passwd")
PY
        if [ $kind = cdbroken ]; then  # bytes of the central directory changed
          python3 - "$W/Data/ZELM.zip" <<'PY'
import sys
b = bytearray(open(sys.argv[1], "rb").read())
cd = b.rfind(b"PK\x01\x02")
for i in range(cd + 10, cd + 30): b[i] ^= 0x5A
open(sys.argv[1], "wb").write(b)
PY
        fi
        (cd $W/Data && md5sum *.DB *.db) > $ZO/climb_before
        start $W && { restore_first; result restore_$kind 3; xdotool key Return; stop; }
        (cd $W/Data && md5sum -c $ZO/climb_before >/dev/null) && echo "  data unchanged" || echo "  DATA CHANGED"
        [ -e $ZO/evil.DB ] || [ -e $W/evil.DB ] && echo "  ESCAPED" || true
        [ -L $W/Data/Titre.DB ] && echo "  LINK PLANTED" || true
      done ;;
    altered)
      # alter FILE KIND: the takings file changed by another tool (sqlite3, or Python's sqlite3
      # for what only PRAGMA writable_schema writes)
      alter() {
        local key="CREATE UNIQUE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre)"
        case $2 in
          trigger) sqlite3 "$1" "CREATE TRIGGER zz AFTER INSERT ON Disto BEGIN DELETE FROM Disto WHERE DateJ <> NEW.DateJ; END;" ;;
          nokey) sqlite3 "$1" "DROP INDEX zx_1; INSERT INTO Disto SELECT * FROM Disto WHERE rowid <= 2;" ;;
          rename) sqlite3 "$1" "ALTER TABLE Disto RENAME COLUMN PU TO PUx" ;;
          # the description beside the table altered, the table itself right
          desc) sqlite3 "$1" "UPDATE zelm_fields SET name = 'PUx' WHERE name = 'PU'" ;;
          money) sqlite3 "$1" "UPDATE zelm_fields SET type = 6, subtype = 0 WHERE name = 'PU'" ;;
          keydesc) sqlite3 "$1" "UPDATE zelm_indexes SET isprimary = 0, tag = 'x' WHERE num = 1" ;;
          # the description's fields or indexes emptied, or two of its fields swapped
          nofields) sqlite3 "$1" "DELETE FROM zelm_fields" ;;
          noindexes) sqlite3 "$1" "DELETE FROM zelm_indexes" ;;
          swap) sqlite3 "$1" "UPDATE zelm_fields SET num = 9 WHERE num = 4; UPDATE zelm_fields SET num = 4 WHERE num = 5;
              UPDATE zelm_fields SET num = 5 WHERE num = 9" ;;
          # values past what the fields hold, and a column of another tool's
          big) sqlite3 "$1" "UPDATE Disto SET Qte_Prise = 3000000000 WHERE rowid = 1;
              UPDATE Disto SET PU = 1e300 WHERE rowid = 2; ALTER TABLE Disto ADD COLUMN extra INTEGER" ;;
          many) for i in $(seq 10000); do echo "CREATE TABLE t$i(x);"; done | sqlite3 "$1" ;;
          check) sqlite3 "$1" "ALTER TABLE Disto ADD COLUMN extra INTEGER CHECK (DateJ < '2026-01-01')" ;;
          norowid) sqlite3 "$1" "CREATE TABLE n(\"DateJ\" TEXT, \"Id_Client\" TEXT, \"Id_Titre\" TEXT, \"Qte_Prise\" INTEGER,
              \"PU\" REAL, PRIMARY KEY(DateJ, Id_Client, Id_Titre)) STRICT, WITHOUT ROWID; INSERT INTO n SELECT * FROM Disto;
              DROP TABLE Disto; ALTER TABLE n RENAME TO Disto; $key" ;;
          junk|stat9|twice) python3 - "$1" "$2" "$key" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1], isolation_level=None)
if sys.argv[2] == "twice":  # a key held twice behind an index still called unique
    db.executescript("DROP INDEX zx_1; INSERT INTO Disto SELECT * FROM Disto WHERE rowid <= 2;"
                     "CREATE INDEX zx_1 ON Disto(DateJ, Id_Client, Id_Titre)")
db.execute("PRAGMA writable_schema = ON")
if sys.argv[2] == "junk":
    db.execute("UPDATE sqlite_master SET sql = replace(sql, ') STRICT', ', \"junk\" BLOB DEFAULT (randomblob(2000))) STRICT')"
               " WHERE name = 'Disto'")
elif sys.argv[2] == "stat9":
    db.executescript("CREATE TABLE sqlite_stat9(a, b); INSERT INTO sqlite_stat9 VALUES('Disto', 'x')")
else:
    db.execute("UPDATE sqlite_master SET sql = ? WHERE name = 'zx_1'", (sys.argv[3],))
db.close()
PY
          ;;
        esac
      }
      made=$(sqlite3 -readonly "$BENCH/Disto.DB" "SELECT group_concat(sql, ';') FROM sqlite_master")
      values="SELECT count(*), total(Qte_Prise), printf('%.4f', total(PU)), max(Qte_Prise), max(PU) FROM Disto"
      for kind in ${ALTERED_KINDS:-trigger nokey rename desc money keydesc nofields noindexes swap big check norowid junk stat9 twice many}; do
        zo_install $W 20000; zo_env $W
        cp $W/Data/Disto.DB $ZO/altered.DB
        alter $ZO/altered.DB $kind
        python3 - "$W/Data/ZELM.zip" $ZO/altered.DB "$W/Data" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.write(sys.argv[2], "Disto.DB")
    for n in ("Disto.PX", "CLIENT.DB", "CLIENT.PX"):
        z.write(sys.argv[3] + "/" + n, n)
PY
        (cd $W/Data && md5sum *.DB *.db) > $ZO/altered_before
        start $W && { restore_first; result restore_altered_$kind 3; xdotool key Return; stop; }
        (cd $W/Data && md5sum -c $ZO/altered_before >/dev/null) && echo "  data unchanged" || echo "  DATA CHANGED"
        # The same alteration in the data folder itself, then "Contrôle de la base de données".
        rm -f $W/Data/ZELM.zip
        alter $W/Data/Disto.DB $kind
        rows=$(sqlite3 -readonly $W/Data/Disto.DB "select count(*) from Disto")
        before=$(sqlite3 -readonly $W/Data/Disto.DB "$values")
        start $W && { menu check; result check_altered_$kind $([ $kind = many ] && echo 30 || echo 4); xdotool key Return; stop; }
        now=$(sqlite3 -readonly $W/Data/Disto.DB "SELECT group_concat(sql, ';') FROM sqlite_master")
        echo "  rows $rows -> $(sqlite3 -readonly $W/Data/Disto.DB "select count(*) from Disto"),"\
          "triggers $(sqlite3 -readonly $W/Data/Disto.DB "select count(*) from sqlite_master where type='trigger'"),"\
          "key index $(sqlite3 -readonly $W/Data/Disto.DB "select count(*) from sqlite_master where name='zx_1'"),"\
          "tables $(sqlite3 -readonly $W/Data/Disto.DB "select count(*) from sqlite_master where type='table'"),"\
          "as the program makes it: $([ "$now" = "$made" ] && echo yes || echo NO)"
        after=$(sqlite3 -readonly $W/Data/Disto.DB "$values")
        [ "$before" = "$after" ] && echo "  values kept ($after)" || echo "  values $before -> $after"
      done
      rm -f $ZO/altered.DB ;;
    readonly)
      zo_install $W 20000; mkdir -p $W/rohome; chown nobody $W/rohome; chmod 755 $W $W/Data
      chmod -R a-w $W/Data; chmod a-w $W; chmod -R a+rX $W
      zo_env $W; export HOME=$W/rohome XDG_RUNTIME_DIR=$W/rohome ZELM_REGISTRY_DIR=$W/rohome/reg
      RUNAS=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
      (cd $W/Data && md5sum *) > $ZO/ro_before
      if start $W; then
        result ro_start 1
        menu reindex; result ro_reindex 2; xdotool key Return; sleep 0.5
        menu check; result ro_check 3; xdotool key Return; sleep 0.5
        xdotool mousemove 238 57 click 1; result ro_print 2; xdotool key alt+F4; result ro_print_closed 1.5; xdotool key Return; sleep 0.5
        xdotool key alt+F4; result ro_close_ini 1; xdotool key Return; zo_wait "^Confirmation$" >/dev/null; sleep 0.3; xdotool key alt+o; result ro_close_yes 3
        xdotool key Return; sleep 2; if ps -p $PID >/dev/null; then echo "  still running"; result ro_still 0; stop; else echo "  ended"; fi
      fi
      (cd $W/Data && md5sum -c $ZO/ro_before >/dev/null 2>&1) && echo "  data unchanged" || echo "  DATA CHANGED"
      chmod -R u+w $W ;;
    floppy)
      # The folder dialog knows no letters and only offers folders that exist: "A:" is mapped to a
      # removable drive's mount point, chosen while it is there, then emptied of its medium (the
      # folder removed) before the insert-disk box is answered.
      zo_install $W 20000; zo_env $W; D=$ZO/nodisk; rm -rf $D; mkdir -p $D $W/reg
      printf '[Software\\ZELM\\Lecteurs]\nA=%s\nA.Type=amovible\n' $D > $W/reg/HKEY_CURRENT_USER.ini
      if start $W; then
        menu backup; w=$(zo_wait "^Sauvegarde$"); sleep 0.4; xdotool mousemove --window "$w" 90 40 click 1
        zo_wait "^Choisir l'endroit" >/dev/null; sleep 0.4; xdotool type --delay 5 "$D/"; sleep 0.3; xdotool key Return
        zo_wait "^Information$" >/dev/null; rmdir $D
        for k in 1 2 3; do result floppy_ask_$k 1; xdotool key Return; done
        result floppy_cancel 1; xdotool key Escape; result floppy_after 1; stop
      fi
      [ -e $D ] && echo "  WRITTEN: $(ls -A $D)" || echo "  nothing written" ;;
    zip64)
      zo_install $W 20000; zo_env $W
      (cd $W/Data && zip -q -fz ZELM.zip *.* && md5sum *.DB *.db) > $ZO/z64_saved
      sqlite3 $W/Data/Disto.DB "delete from Disto where rowid % 2 = 0"
      start $W && { restore_first; result restore_zip64 4; windows | grep -q Erreur && xdotool key Return; stop; }
      (cd $W/Data && md5sum -c $ZO/z64_saved >/dev/null 2>&1) && echo "  tables restored" || echo "  TABLES NOT RESTORED" ;;
    year)
      Y=$ZO/year; rm -rf $Y; mkdir -p $Y/Data $Y/home $Y/reg
      cp $ZO_BIN/zelm $ZO_BIN/lib*.so $ZO_BIN/RAPPORT.* $Y/; cp -a "$BENCH"/*.* $Y/Data/
      E=$ZO/empty; rm -rf $E; mkdir -p $E/home; cp $ZO_BIN/zelm $ZO_BIN/lib*.so $ZO_BIN/RAPPORT.* $E/
      (cd $E && HOME=$E/home ZELM_REGISTRY_DIR=$E/reg QT_QPA_PLATFORM=offscreen timeout 10 ./zelm >/dev/null 2>&1)
      cp $E/Data/{IMPRIMERIE,Liste,Site,TLISTE}.* $Y/Data/
      zo_env $Y
      counts() { for t in Disto Retour Ha; do sqlite3 -readonly $Y/Data/$t.DB "select count(*) from $t"; done | tr '\n' ' '; }
      echo "  before: $(counts) $(du -sm $Y/Data | cut -f1) MB"
      if start $Y; then
        menu purge; w=$(zo_wait "^Epuration des fichiers$"); sleep 0.3
        xdotool mousemove --window "$w" 110 57 click 1; xdotool type --delay 5 "01/01/2025"
        xdotool mousemove --window "$w" 110 89 click 1; xdotool type --delay 5 "31/01/2025"
        xdotool mousemove --window "$w" 264 60 click 1
        zo_wait "^Avertissement$|^Attention$|^Confirmation$" >/dev/null; xdotool key alt+o
        zo_wait "^Confirmation$" >/dev/null; sleep 0.1; t0=$(date +%s.%N); xdotool key Return
        sleep 0.5; result year_pack 0
        zo_wait "^Information$|^Erreur$" 400 >/dev/null; t1=$(date +%s.%N)
        echo "  purge and pack: $(echo "$t1 - $t0" | bc) s"; result year_done 0.3; xdotool key Return; sleep 0.5
        xdotool key Escape; sleep 0.5  # the purge window stays open until closed
        menu check; zo_wait "^Information$|^Avertissement$|^Erreur$" 400 >/dev/null; result year_check 0.3; xdotool key Return
        stop
      fi
      echo "  after: $(counts) $(du -sm $Y/Data | cut -f1) MB"
      integ=$(python3 scripts/outside/integrity.py $Y/Data) && echo "  tables whole" || echo "  INTEGRITY: $integ"
      rm -rf $Y ;;
    fullpurge)
      mkdir -p $ZO/fp; W2=$ZO/fp/p; zo_install $W2 300000; zo_env $W2
      size=$(du -sk $W2 | cut -f1); rm -rf $W2
      mount -t tmpfs -o size=$((size + 3072))k tmpfs $ZO/fp; zo_install $W2 300000; zo_env $W2
      counts() { for t in Disto Retour Ha; do sqlite3 -readonly $W2/Data/$t.DB "select count(*) from $t"; done | tr '\n' ' '; }
      echo "  before: $(counts) free $(df -k $ZO/fp | tail -1 | awk '{print $4}') kB"
      if start $W2; then
        menu purge; w=$(zo_wait "^Epuration des fichiers$"); sleep 0.3
        xdotool mousemove --window "$w" 110 57 click 1; xdotool type --delay 5 "01/01/2025"
        xdotool mousemove --window "$w" 110 89 click 1; xdotool type --delay 5 "31/01/2025"
        xdotool mousemove --window "$w" 264 60 click 1
        zo_wait "^Avertissement$|^Attention$|^Confirmation$" >/dev/null; xdotool key alt+o
        zo_wait "^Confirmation$" >/dev/null; sleep 0.1; xdotool key Return
        result fullpurge 8; xdotool key Return; sleep 0.5; result fullpurge_after 0.5; stop
      fi
      echo "  after: $(counts)"
      integ=$(python3 scripts/outside/integrity.py $W2/Data) && echo "  tables whole" || echo "  INTEGRITY: $integ"
      umount $ZO/fp ;;
    rapport)
      for kind in missing garbage djini; do
        zo_install $W 20000; zo_env $W
        case $kind in
          missing) rm -f $W/RAPPORT.* ;;
          garbage) head -c 20000 /dev/urandom > $W/RAPPORT.DB ;;
          djini) printf '\xff\xfe[PRINT\nLSTPRINT=-99999999999999\nDEB=zz/zz/zzzz\nFIN=\x01\x02\n[[[\n' > $W/Data/DJ.INI ;;
        esac
        start $W && { xdotool mousemove 238 57 click 1; result rapport_$kind 2
          # Return answers a box; with none it would press the chooser's "Imprimer"
          windows | grep -q "Erreur\|Avertissement" && { xdotool key Return; sleep 0.4; }
          xdotool key alt+F4; result rapport_${kind}_closed 1; stop; }
      done ;;
  esac
done
kill $OB $XV 2>/dev/null
