#!/usr/bin/env bash
# The main job: sets up and builds everything, writes the sample work and
# plays it as a user would under a virtual display: a screenshot of every
# page (one inside a transition), a click on the scripted page's button
# with screenshots before and after it; then what the run logged. Last, the
# scripted sample of the saved variables runs twice, and the database
# manager is shown by its demo host.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${MAVRO_BUILD:-$ROOT/build}"
# shellcheck source=winenv.sh
source "$ROOT/scripts/winenv.sh"
mavro_build_and_start "$ROOT" "$BUILD"

OUT="$BUILD/x86_64"
RUN="$OUT/sample"
WINE="$ROOT/cmake/wine-run.sh"
MKWORK="$OUT/samples/mkwork.exe"
CLICK="$OUT/samples/playerclick.exe"
# Wine's own complaints about its drive mappings mean nothing to the user.
quiet_wine() { grep -avF 'Read access denied for device L"' >&2 || true; }

echo "== staging the player in $RUN"
rm -rf "$RUN" && mkdir -p "$RUN"
# Everything the player loads beside itself: the program and its cursor
# library; the ini turns its trace log on.
cp "$OUT/MavroRT/MavroRT.exe" "$OUT/MavroRT/mavrolib.dll" "$RUN/"
printf '[MavroRT]\r\nSysLog=1\r\n' >"$RUN/MavroRT.ini"
"$WINE" "$MKWORK" "$(winepath -w "$RUN/sample.mrt" 2>/dev/null)" showcase 2> >(quiet_wine)
# The Motion page hosts the test ActiveX control: registered for this run
# only (for the current user), taken away again at the end.
AXDLL="$RUN/TestAxControl.dll"
cp "$OUT/samples/TestAxControl.dll" "$AXDLL"
"$WINE" regsvr32 /s "$(winepath -w "$AXDLL" 2>/dev/null)" 2> >(quiet_wine) ||
  echo "   the test control could not be registered: the Motion page shows no control"

TEMPDIR=$(winepath -u "$("$WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
LOG="$TEMPDIR/~mvrt40.lg0"
rm -f "$LOG"

# Waits (at most $2 seconds) until the log has a line with the text.
wait_log() {
  local i
  for i in $(seq 1 $(($2 * 10))); do
    grep -aq -- "$1" "$LOG" 2>/dev/null && return 0
    kill -0 "$player" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
shots=()
shot() {
  import -window root "$RUN/$1.png" 2>/dev/null && shots+=("$RUN/$1.png")
}
# Waits for a page, lets its entering transition end, takes its screenshot.
page_shot() {
  if wait_log "ChangeCanvasTo: $1" 30; then
    sleep "$2"
    shot "$3"
    echo "   page $1 shown: $3.png"
  else
    echo "   page $1 did not come within 30 s"
  fi
}

echo "== playing: MavroRT.exe /r sample.mrt (pages change by themselves; about 35 s)"
# Questions are answered unattended.
export MAVRO_AUTOANSWER=yes
# In a process group of its own, so that stopping it ends wine and the
# player, not only the wrapper.
setsid "$WINE" "$RUN/MavroRT.exe" /r "$RUN/sample.mrt" 2>"$RUN/wine-errors.txt" &
player=$!
# The first page comes without a page change: after the open.
if wait_log ".ini not exists" 30; then
  sleep 2
  shot title
  echo "   page Title shown: title.png"
fi
page_shot Buttons 2 buttons
# The pictures come in through a region (1.5 s): one screenshot half way.
if wait_log "ChangeCanvasTo: Pictures" 30; then
  sleep 0.6
  shot transition
  echo "   inside the transition to Pictures: transition.png"
fi
sleep 1.4
shot pictures
echo "   page Pictures shown: pictures.png"
page_shot Fills 2 fills
# The board page's script draws as the page enters.
page_shot Board 2 board
page_shot Figures 2 figures
# The vector object's square morphs into a circle over 2 s: half way.
page_shot Vector 1 vector
page_shot Texts 2 texts
page_shot Controls 2 controls
page_shot Media 2 media
# The button goes round its path in 2 s: half way at 1 s.
page_shot Motion 1 motion
page_shot Script 2 script
# The script page waits for its button: click it where it is drawn.
if kill -0 "$player" 2>/dev/null; then
  echo "   clicking the button \"Click me\""
  "$WINE" "$CLICK" sample 800 600 400 330 2> >(quiet_wine) | sed 's/^/   /' || true
  sleep 0.8
  shot script-clicked
  echo "   after the click: script-clicked.png"
fi
page_shot End 1.5 end

# The last page ends the run; stopped after MAVRO_RUN_SECONDS (default 30)
# at the latest.
for _ in $(seq 1 "${MAVRO_RUN_SECONDS:-30}"); do
  kill -0 "$player" 2>/dev/null || break
  sleep 1
done
kill -- "-$player" 2>/dev/null || true
set +e
# The stopped group is gone within seconds; the wait never hangs the job.
for _ in $(seq 1 10); do
  kill -0 "$player" 2>/dev/null || break
  sleep 1
done
kill -9 -- "-$player" 2>/dev/null
wait "$player"
rc=$?
set -e
quiet_wine <"$RUN/wine-errors.txt"
"$WINE" regsvr32 /s /u "$(winepath -w "$AXDLL" 2>/dev/null)" 2> >(quiet_wine) || true

case "$rc" in
  0) meaning="the player played nothing (no work given, or the work did not open)" ;;
  1) meaning="the normal end: the work's exit command (or a closed window) ended the run" ;;
  137 | 143) meaning="stopped by this script: the work did not end by itself in time" ;;
  *) meaning="an abnormal end" ;;
esac
echo "== MavroRT exited with $rc: $meaning"
if [ -f "$LOG" ]; then
  cp "$LOG" "$RUN/trace.log"
  echo "== page changes"
  echo "   Title (the first page, shown at the start)"
  grep -a "ChangeCanvasTo" "$LOG" | sed 's/^.*ChangeCanvasTo/   ChangeCanvasTo/' | tr -d '\r' || true
  # The title page's own sound, played by the work's system sound.
  echo "== the title page's sound"
  grep -a "SysSound:" "$LOG" | sed 's/^.*SysSound:/   SysSound:/' | tr -d '\r' || true
  # The log is in the system's code page (GBK); trace-point lines
  # ("<thread> file (line)") stay in the file.
  echo "== messages of the log (trace points left out; the whole log: $RUN/trace.log)"
  iconv -f GBK -t UTF-8 -c "$LOG" | tr -d '\r' | grep -av -e '^<[0-9A-Fa-f]*> .* ([0-9]*)$' -e '^ *$' |
    sed 's/^/   /'
fi
# Every chemistry and physics figure on one sheet, drawn as the player
# draws them.
echo "== the figure sheet"
"$WINE" "$OUT/samples/figsheet.exe" "$(winepath -w "$RUN/figure-sheet.bmp" 2>/dev/null)" \
  2> >(quiet_wine) | sed 's/^/   /' || true
if [ -f "$RUN/figure-sheet.bmp" ] && convert "$RUN/figure-sheet.bmp" "$RUN/figure-sheet.png"; then
  rm -f "$RUN/figure-sheet.bmp"
  shots+=("$RUN/figure-sheet.png")
fi
echo "== screenshots"
for s in "${shots[@]}"; do echo "   $s"; done

# The scripted sample, played twice: its page-entry lists count the visits
# in the application-state ini, which is shown after each run.
echo "== the scripted sample: counting visits in the application-state ini"
"$WINE" "$MKWORK" "$(winepath -w "$RUN/scripts.mrt" 2>/dev/null)" scripts 2> >(quiet_wine)
INI="$MAVRO_WINEPREFIX/drive_c/windows/mavroappl.ini"
rm -f "$INI"
for n in 1 2; do
  set +e
  timeout "${MAVRO_RUN_SECONDS:-30}" "$WINE" "$RUN/MavroRT.exe" /r "$RUN/scripts.mrt" 2> >(quiet_wine)
  rc=$?
  set -e
  echo "   run $n: MavroRT exited with $rc$([ "$rc" = 1 ] && echo ' (the normal end)')"
  [ -f "$INI" ] && grep -A3 -i '^\[APPL_01d0000012345678' "$INI" | tr -d '\r' | sed 's/^/   /'
done
echo "   visits=3,N is the saved variable \"visits\": variant type 3 (a 32-bit integer) and"
echo "   its value N, the number of runs so far (1 after the first run, 2 after the second)."
# Part2's recording: 300 ms from the capture device into memory, saved by
# the script. A WAV file of the recorder's own layout: "fmt " at 12, "data"
# at 36.
REC="$MAVRO_WINEPREFIX/drive_c/mavrorec/rec.wav"
echo "== the scripted sample's recording (Part2 records 300 ms and saves C:\\mavrorec\\rec.wav)"
if [ -f "$REC" ] && [ "$(dd if="$REC" bs=1 skip=12 count=4 2>/dev/null)" = "fmt " ] &&
  [ "$(dd if="$REC" bs=1 skip=36 count=4 2>/dev/null)" = "data" ]; then
  u16() { od -An -tu2 -j "$1" -N2 "$REC" | tr -d ' '; }
  u32() { od -An -tu4 -j "$1" -N4 "$REC" | tr -d ' '; }
  echo "   format $(u16 20) (PCM is 1), $(u32 24) Hz, $(u16 34) bits, $(u16 22) channel(s);" \
    "$(u32 40) bytes of data in a file of $(stat -c %s "$REC") bytes"
else
  echo "   no recording was saved"
fi

# The database manager: the demo host writes a database with media fields, pupils,
# a linked table, queries, a relation, users and groups, and shows the
# database page (the fields of table Pupil selected), then the account
# manager. Its windows are shown, not answered.
echo "== the database manager: dbhost.exe (db-page.png, db-accounts.png, db-browser.png, db-query.png)"
DBHOST="$OUT/samples/dbhost.exe"
DBDIR="$RUN/dbhost"
mkdir -p "$DBDIR"
# Runs dbhost with the arguments; when its report ends with the marker,
# takes the screenshot of the name.
db_shot() {
  local name=$1 marker=$2 report="$DBDIR/$1.txt" i
  shift 2
  rm -f "$report"
  setsid env -u MAVRO_AUTOANSWER "$WINE" "$DBHOST" "$(winepath -w "$DBDIR" 2>/dev/null)" "$@" \
    "report=$(winepath -w "$report" 2>/dev/null)" hold=4000 >/dev/null 2> >(quiet_wine) &
  local host=$!
  for i in $(seq 1 300); do
    grep -aq "^$marker" "$report" 2>/dev/null && break
    kill -0 "$host" 2>/dev/null || break
    sleep 0.1
  done
  if grep -aq "^$marker" "$report" 2>/dev/null; then
    sleep 0.5
    import -window root "$RUN/$name.png" 2>/dev/null && echo "   $RUN/$name.png"
  else
    echo "   dbhost showed nothing for $name.png"
  fi
  wait "$host" 2>/dev/null || true
}
db_shot db-page READY "内部表/Pupil/字段"
db_shot db-accounts ACCOUNTS "用户和用户组" accounts
db_shot db-browser BROWSER "内部表/Pupil" browse
db_shot db-query QUERY "查询/AllPupils" query
if [ -f "$DBDIR/db-page.txt" ]; then
  echo "   the tree, the list of Pupil's fields, and the screen rectangles dbhost reported:"
  iconv -f GBK -t UTF-8 -c "$DBDIR/db-page.txt" | tr -d '\r' | grep -v '^READY$' | sed 's/^/   /'
fi
