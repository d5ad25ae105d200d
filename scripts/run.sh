#!/usr/bin/env bash
# The main job: sets up and builds everything, writes the sample work and
# starts the player on it with its trace log on, then shows the log.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${MAVRO_BUILD:-$ROOT/build}"
# shellcheck source=winenv.sh
source "$ROOT/scripts/winenv.sh"
mavro_build_and_start "$ROOT" "$BUILD"
RUN="$BUILD/x86_64/sample"
rm -rf "$RUN" && mkdir -p "$RUN"
cp "$BUILD/x86_64/MavroRT/MavroRT.exe" "$RUN/"
printf '[MavroRT]\r\nSysLog=1\r\n' >"$RUN/MavroRT.ini"
WINE="$ROOT/cmake/wine-run.sh"
if [ -e "$BUILD/x86_64/tests/mkwork.exe" ]; then
  "$WINE" "$BUILD/x86_64/tests/mkwork.exe" "$(winepath -w "$RUN/sample.mrt" 2>/dev/null || echo "$RUN/sample.mrt")"
fi
# Questions are answered unattended. The sample's pages hold 2 s each and
# the last one ends the run; a screenshot of the screen is taken in the
# middle of each page's hold (page-1.png ...), and one in the middle of the
# third page's 1 s entering slide (transition.png).
export MAVRO_AUTOANSWER=yes
echo "Starting: MavroRT.exe /r sample.mrt"
# In a process group of its own, so that stopping it ends wine and the
# player, not only the wrapper.
setsid "$WINE" "$RUN/MavroRT.exe" /r "$RUN/sample.mrt" &
player=$!
# Seconds from the start: page 1 at 1.5, page 2 at 3.5, the slide at 4.5,
# then pages 3, 4 and 5 at 6, 8 and 10.
for shot in "1.5 page-1" "2 page-2" "1 transition" "1.5 page-3" "2 page-4" "2 page-5"; do
  set -- $shot
  sleep "$1"
  if kill -0 "$player" 2>/dev/null; then
    import -window root "$RUN/$2.png" 2>/dev/null && echo "screenshot: $RUN/$2.png"
  fi
done
# Ends by itself; stopped after MAVRO_RUN_SECONDS (default 20) at the latest.
for _ in $(seq 1 "${MAVRO_RUN_SECONDS:-20}"); do
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
echo "MavroRT exited with $rc"
TEMPDIR="$MAVRO_WINEPREFIX/drive_c/users/$(whoami)/AppData/Local/Temp"
[ -d "$TEMPDIR" ] || TEMPDIR="$MAVRO_WINEPREFIX/drive_c/users/$(whoami)/Temp"
if [ -f "$TEMPDIR/~mvrt40.lg0" ]; then
  echo "---- page changes"
  grep -a "ChangeCanvasTo" "$TEMPDIR/~mvrt40.lg0" || true
  echo "---- trace log ($TEMPDIR/~mvrt40.lg0)"
  cat "$TEMPDIR/~mvrt40.lg0"
fi
# The scripted sample, played twice: its page-entry lists count the visits
# in the application-state ini, which is shown after each run.
if [ -e "$BUILD/x86_64/tests/mkwork.exe" ]; then
  "$WINE" "$BUILD/x86_64/tests/mkwork.exe" "$(winepath -w "$RUN/scripts.mrt" 2>/dev/null || echo "$RUN/scripts.mrt")" scripts
  INI="$MAVRO_WINEPREFIX/drive_c/windows/mavroappl.ini"
  rm -f "$INI"
  for n in 1 2; do
    set +e
    timeout "${MAVRO_RUN_SECONDS:-20}" "$WINE" "$RUN/MavroRT.exe" /r "$RUN/scripts.mrt"
    rc=$?
    set -e
    echo "scripts run $n: MavroRT exited with $rc"
    [ -f "$INI" ] && grep -A3 -i '^\[APPL_01d0000012345678' "$INI" | tr -d '\r'
  done
fi
