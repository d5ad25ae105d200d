#!/bin/sh
# Runs a Windows program under Wine with the project's settings. The prefix
# comes from MAVRO_WINEPREFIX (set up by scripts/winenv.sh).
: "${MAVRO_WINEPREFIX:?MAVRO_WINEPREFIX is not set: run through scripts/test.sh}"
export WINEPREFIX="$MAVRO_WINEPREFIX"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
# Code page 936, as the shipped resources expect.
export LC_ALL="${MAVRO_LC_ALL:-zh_CN.UTF-8}"

# Under heavy parallel load Wine's loader now and then gives up at once: exit
# code 1, not a byte of output, before the program ran. Such a start (and only
# such a start) is tried once more; the program's own output passes through.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
  start=$(date +%s%N)
  wine "$@" >"$out" 2>"$err"
  rc=$?
  elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
  if [ "$rc" -eq 1 ] && [ "$elapsed" -lt 1000 ] && [ ! -s "$out" ] && [ ! -s "$err" ] &&
     [ "$attempt" -eq 1 ]; then
    continue
  fi
  break
done
cat "$out"
cat "$err" >&2
exit "$rc"
