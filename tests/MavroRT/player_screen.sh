#!/usr/bin/env bash
# The sample's first page on the screen: the probe finds the borderless
# maximised window, a screenshot of the root window shows the green
# 800 x 600 background centred in the project's colour, "next page" changes
# the canvas and WM_CLOSE ends the run with 1.
# Arguments: emulator, player, mkwork, winprobe, work folder.
set -u
EMU=$1 PLAYER=$2 MKWORK=$3 PROBE=$4 WORK=$5
# The player runs in a process group of its own: stopping the group ends
# the wrapper, wine and MavroRT together.
stop_player() {
  [ -n "${player:-}" ] || return 0
  kill -- "-$player" 2>/dev/null
  player=
}
fail() {
  echo "FAIL: $*"
  stop_player
  exit 1
}
trap stop_player EXIT
rm -rf "$WORK" && mkdir -p "$WORK"
cp "$PLAYER" "$WORK/" || fail "copy"
printf '[MavroRT]\r\nSysLog=1\r\n' >"$WORK/MavroRT.ini"
# Pages hold a minute here: the probe decides when they change.
"$EMU" "$MKWORK" "$WORK/sample.mrt" hold=60000 >/dev/null || fail "mkwork"
temp=$(winepath -u "$("$EMU" cmd /c echo %TEMP% | tr -d '\r')")
log="$temp/~mvrt40.lg0"
rm -f "$log"
setsid "$EMU" "$WORK/MavroRT.exe" /r "$WORK/sample.mrt" &
player=$!
found=$("$EMU" "$PROBE" sample) || fail "no window: $found"
echo "$found"
# Borderless: WS_VISIBLE | WS_CLIPCHILDREN | WS_MAXIMIZE (and the
# WS_CLIPSIBLINGS Wine gives every top-level window), over the screen.
case "$found" in
  *"style 13000000 rect 0,0,1024,768"* | *"style 17000000 rect 0,0,1024,768"*) ;;
  *) fail "window: $found" ;;
esac
sleep 1
import -window root "$WORK/first.png" || fail "screenshot"
pixel() { convert "$WORK/first.png" -format "%[hex:p{$1,$2}]" info: | cut -c1-6; }
for spec in "112 84 00FF00" "911 683 00FF00" "111 83 102040" "912 684 102040"; do
  set -- $spec
  got=$(pixel "$1" "$2")
  [ "$got" = "$3" ] || fail "pixel ($1,$2) is $got, expected $3"
done
"$EMU" "$PROBE" sample cmd:32813 sleep:1500 >/dev/null || fail "probe command"
grep -aq "ChangeCanvasTo: Part1" "$log" || fail "no page change in the log"
"$EMU" "$PROBE" sample close >/dev/null || fail "probe close"
# A player that ignores the close must not hold the test until its timeout.
for _ in $(seq 1 30); do
  kill -0 "$player" 2>/dev/null || break
  sleep 1
done
kill -0 "$player" 2>/dev/null && fail "still running 30 s after the close"
wait "$player"
rc=$?
player=
[ "$rc" = 1 ] || fail "exit $rc, expected 1"
echo "PASS"
