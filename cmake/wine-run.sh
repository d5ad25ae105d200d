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
exec wine "$@"
