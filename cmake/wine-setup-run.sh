#!/usr/bin/env bash
# Runs a Windows program in the setup tests' own Wine prefix (first
# argument): those tests write the runtime record, HKCR, the system folder
# and pending renames, which no other test may see. The prefix is made once
# per build; its wine server stays up between the tests and ends itself a
# while after the last one.
prefix="$1"
shift
root="$(cd "$(dirname "$0")/.." && pwd)"
(
  flock 9
  # shellcheck source=../scripts/winenv.sh
  . "$root/scripts/winenv.sh"
  mavro_wine_prefix "$prefix" >/dev/null 2>&1
) 9>"$prefix.lock"
export MAVRO_WINEPREFIX="$prefix" WINEPREFIX="$prefix"
# A second server for the same prefix refuses to start: harmless.
wineserver -p30 >/dev/null 2>&1 </dev/null || true
exec sh "$root/cmake/wine-run.sh" "$@"
